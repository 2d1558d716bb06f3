#include "SchedeAccessibili.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <algorithm>
#include <vector>

#include "brisko/ErroreControllo.h"
#include "brisko/xpVantelTab.h"
#include "mXPVantel.h"

namespace brisko {
namespace {

// A caption as it reads: "&&" is one "&", a lone "&" only marks the access key.
QString TestoLetto(const QString& didascalia) {
  QString testo;
  testo.reserve(didascalia.size());
  for (qsizetype i = 0; i < didascalia.size(); ++i) {
    if (didascalia[i] != u'&') {
      testo += didascalia[i];
    } else if (i + 1 < didascalia.size() && didascalia[i + 1] == u'&') {
      testo += u'&';
      ++i;
    }
  }
  return testo;
}

// One tab, numbered from 1; it lives as long as the control's interface.
class SchedaAccessibile : public QAccessibleInterface {
 public:
  SchedaAccessibile(xpVantelTab* schede, int numero) : schede_(schede), numero_(numero) {}

  [[nodiscard]] bool isValid() const override {
    return schede_ != nullptr && numero_ <= schede_->NumberOfTabs();
  }
  [[nodiscard]] QObject* object() const override { return nullptr; }
  [[nodiscard]] QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(schede_.data());
  }
  [[nodiscard]] QAccessibleInterface* child(int) const override { return nullptr; }
  [[nodiscard]] int childCount() const override { return 0; }
  [[nodiscard]] int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  [[nodiscard]] QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  [[nodiscard]] QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return {};
    return TestoLetto(QString::fromStdString(schede_->TabCaption(numero_)));
  }
  void setText(QAccessible::Text, const QString&) override {}
  [[nodiscard]] QRect rect() const override {
    if (!isValid()) return {};
    try {
      const RECT r = schede_->TabRect(numero_);
      return {schede_->mapToGlobal(QPoint(r.left, r.top)),
              QSize(r.right - r.left, r.bottom - r.top)};
    } catch (const ErroreControllo&) {
      return {};  // not laid out by a paint pass yet
    }
  }
  [[nodiscard]] QAccessible::Role role() const override { return QAccessible::PageTab; }
  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State stato;
    if (!isValid()) {
      stato.invalid = true;
      return stato;
    }
    // No selected tab is painted, and acts, as the first.
    const int scelta = schede_->SelectedTab() == 0 ? 1 : schede_->SelectedTab();
    stato.selectable = true;
    stato.selected = numero_ == scelta;
    stato.invisible = !schede_->isVisible();
    stato.hotTracked = numero_ == schede_->HotTab();
    return stato;
  }

 private:
  QPointer<xpVantelTab> schede_;
  int numero_;
};

// The control: its tabs first, then the widgets it holds (a host's pages).
class StrisciaAccessibile : public QAccessibleWidget {
 public:
  explicit StrisciaAccessibile(xpVantelTab* schede)
      : QAccessibleWidget(schede, QAccessible::PageTabList) {}
  ~StrisciaAccessibile() override {
    for (const QAccessible::Id id : schede_)
      QAccessible::deleteAccessibleInterface(id);
  }
  StrisciaAccessibile(const StrisciaAccessibile&) = delete;
  StrisciaAccessibile& operator=(const StrisciaAccessibile&) = delete;

  [[nodiscard]] int childCount() const override {
    return Schede() + QAccessibleWidget::childCount();
  }
  [[nodiscard]] QAccessibleInterface* child(int indice) const override {
    if (indice < 0) return nullptr;
    if (indice >= Schede()) return QAccessibleWidget::child(indice - Schede());
    const auto i = static_cast<std::size_t>(indice);
    if (schede_.size() <= i) schede_.resize(i + 1, 0);
    if (schede_[i] == 0) {
      schede_[i] = QAccessible::registerAccessibleInterface(
          new SchedaAccessibile(static_cast<xpVantelTab*>(widget()), indice + 1));
    }
    return QAccessible::accessibleInterface(schede_[i]);
  }
  [[nodiscard]] int indexOfChild(const QAccessibleInterface* figlio) const override {
    if (figlio == nullptr) return -1;
    // Only a tab already handed out can be asked about.
    const std::size_t schede = std::min(schede_.size(), static_cast<std::size_t>(Schede()));
    for (std::size_t i = 0; i < schede; ++i) {
      if (schede_[i] != 0 && QAccessible::accessibleInterface(schede_[i]) == figlio)
        return static_cast<int>(i);
    }
    const int i = QAccessibleWidget::indexOfChild(figlio);
    return i < 0 ? -1 : i + Schede();
  }
  [[nodiscard]] QAccessibleInterface* childAt(int x, int y) const override {
    const auto* schede = static_cast<const xpVantelTab*>(widget());
    const QPoint punto = schede->mapFromGlobal(QPoint(x, y));
    for (int i = 1; i <= Schede(); ++i) {
      try {
        if (mXPVantel::PtInRect(schede->TabRect(i), punto.x(), punto.y())) return child(i - 1);
      } catch (const ErroreControllo&) {
        break;  // tabs the latest paint pass did not lay out
      }
    }
    return QAccessibleWidget::childAt(x, y);
  }

 private:
  [[nodiscard]] int Schede() const {
    return static_cast<const xpVantelTab*>(widget())->NumberOfTabs();
  }
  mutable std::vector<QAccessible::Id> schede_;
};

QAccessibleInterface* Fabbrica(const QString& classe, QObject* oggetto) {
  if (classe != QLatin1String(xpVantelTab::staticMetaObject.className())) return nullptr;
  auto* schede = qobject_cast<xpVantelTab*>(oggetto);
  return schede == nullptr ? nullptr : new StrisciaAccessibile(schede);
}

}  // namespace

void InstallaSchedeAccessibili() {
  static const bool installata = [] {
    QAccessible::installFactory(&Fabbrica);
    return true;
  }();
  (void)installata;
}

}  // namespace brisko
