#include "FoglioProprieta.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <array>
#include <memory>
#include <optional>

#include "OleColore.h"
#include "brisko/ErroreControllo.h"
#include "brisko/Tabs.h"
#include "brisko/xpVantelTab.h"

namespace brisko {
namespace {

// The colour properties the colour page edits, with their getter and setter.
struct ProprietaColore {
  const char* nome;
  OLE_COLOR (xpVantelTab::*leggi)() const noexcept;
  void (xpVantelTab::*scrivi)(OLE_COLOR);
};

constexpr std::array<ProprietaColore, 6> kColori{{
    {"BackColor", &xpVantelTab::BackColor, &xpVantelTab::SetBackColor},
    {"ForeColor", &xpVantelTab::ForeColor, &xpVantelTab::SetForeColor},
    {"ForeColorActive", &xpVantelTab::ForeColorActive, &xpVantelTab::SetForeColorActive},
    {"ForeColorHot", &xpVantelTab::ForeColorHot, &xpVantelTab::SetForeColorHot},
    {"FrameColor", &xpVantelTab::FrameColor, &xpVantelTab::SetFrameColor},
    {"MaskColor", &xpVantelTab::MaskColor, &xpVantelTab::SetMaskColor},
}};

QColor ColoreQt(OLE_COLOR colore) {
  const COLORREF c = ColoreRisolto(colore);
  return {static_cast<int>(c & 0xFFU), static_cast<int>((c >> 8U) & 0xFFU),
          static_cast<int>((c >> 16U) & 0xFFU)};
}

OLE_COLOR Ole(const QColor& colore) {
  return RGB(static_cast<std::uint8_t>(colore.red()), static_cast<std::uint8_t>(colore.green()),
             static_cast<std::uint8_t>(colore.blue()));
}

}  // namespace

FoglioProprieta::FoglioProprieta(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Proprietà");
  pagine_ = new QTabWidget(this);
  tabs_ = new Tabs(pagine_);
  pagine_->addTab(tabs_, "Tabs");
  AggiungiPaginaCarattere();
  AggiungiPaginaColori();
  pulsanti_ = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  auto* disposizione = new QVBoxLayout(this);
  disposizione->addWidget(pagine_);
  disposizione->addWidget(pulsanti_);

  connect(tabs_, &Tabs::ChangedChanged, this, [this] { AggiornaApplica(); });
  connect(tabs_, &Tabs::Errore, this,
          [this](const QString& messaggio) { QMessageBox::warning(this, "Tabs", messaggio); });
  connect(pulsanti_->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
          [this] { Applica(); });
  connect(pulsanti_, &QDialogButtonBox::accepted, this, [this] {
    if (Applica()) accept();
  });
  connect(pulsanti_, &QDialogButtonBox::rejected, this, [this] {
    Modifica(controllo_);
    reject();
  });
  AggiornaApplica();
}

void FoglioProprieta::AggiungiPaginaCarattere() {
  auto* dialogo = new QFontDialog(pagine_);
  dialogo->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
  dialogo->setWindowFlags(::Qt::Widget);
  pagine_->addTab(dialogo, "Font");
  auto scelto = std::make_shared<std::optional<QFont>>();
  auto carica = std::make_shared<bool>(false);
  connect(dialogo, &QFontDialog::currentFontChanged, this, [this, scelto, carica](const QFont& f) {
    if (*carica) return;
    *scelto = f;
    AggiornaApplica();
  });
  altre_.push_back(Pagina{[dialogo, scelto, carica](xpVantelTab* c) {
                            *carica = true;
                            if (c != nullptr) dialogo->setCurrentFont(c->Font());
                            scelto->reset();
                            *carica = false;
                          },
                          [scelto](xpVantelTab& c) {
                            if (*scelto) c.SetFont(**scelto);
                          },
                          [scelto] { return scelto->has_value(); }, [scelto] { scelto->reset(); }});
}

void FoglioProprieta::AggiungiPaginaColori() {
  auto* pagina = new QWidget(pagine_);
  auto* elenco = new QListWidget(pagina);
  elenco->setObjectName("Properties");
  for (const auto& p : kColori)
    elenco->addItem(p.nome);
  elenco->setMaximumWidth(150);
  auto* dialogo = new QColorDialog(pagina);
  dialogo->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
  dialogo->setWindowFlags(::Qt::Widget);
  auto* disposizione = new QHBoxLayout(pagina);
  disposizione->addWidget(elenco);
  disposizione->addWidget(dialogo, 1);
  pagine_->addTab(pagina, "Color");

  // The values shown, one per property; those the user changed are pending.
  auto valori = std::make_shared<std::array<OLE_COLOR, kColori.size()>>();
  auto cambiati = std::make_shared<std::array<bool, kColori.size()>>();
  auto carica = std::make_shared<bool>(false);
  const auto mostraScelto = [elenco, dialogo, valori, carica] {
    const int i = elenco->currentRow();
    if (i < 0) return;
    *carica = true;
    dialogo->setCurrentColor(ColoreQt((*valori)[static_cast<std::size_t>(i)]));
    *carica = false;
  };
  connect(elenco, &QListWidget::currentRowChanged, this, mostraScelto);
  connect(dialogo, &QColorDialog::currentColorChanged, this,
          [this, elenco, valori, cambiati, carica](const QColor& colore) {
            const int i = elenco->currentRow();
            if (*carica || i < 0) return;
            (*valori)[static_cast<std::size_t>(i)] = Ole(colore);
            (*cambiati)[static_cast<std::size_t>(i)] = true;
            AggiornaApplica();
          });
  altre_.push_back(Pagina{[elenco, valori, cambiati, mostraScelto](xpVantelTab* c) {
                            for (std::size_t i = 0; i < kColori.size(); ++i) {
                              (*valori)[i] = c != nullptr ? (c->*kColori[i].leggi)() : 0;
                              (*cambiati)[i] = false;
                            }
                            if (elenco->currentRow() < 0) elenco->setCurrentRow(0);
                            mostraScelto();
                          },
                          [valori, cambiati](xpVantelTab& c) {
                            for (std::size_t i = 0; i < kColori.size(); ++i) {
                              if ((*cambiati)[i]) (c.*kColori[i].scrivi)((*valori)[i]);
                            }
                          },
                          [cambiati] {
                            for (bool b : *cambiati) {
                              if (b) return true;
                            }
                            return false;
                          },
                          [cambiati] { cambiati->fill(false); }});
}

void FoglioProprieta::Modifica(xpVantelTab* controllo) {
  controllo_ = controllo;
  tabs_->SelectionChanged(controllo);
  for (auto& p : altre_)
    p.mostra(controllo);
  AggiornaApplica();
}

bool FoglioProprieta::Applica() {
  if (controllo_ == nullptr) return true;
  try {
    if (tabs_->Changed()) {
      tabs_->ApplyChanges();
      tabs_->SetChanged(false);
    }
    for (auto& p : altre_) {
      if (p.cambiata()) {
        p.applica(*controllo_);
        p.pulisci();
      }
    }
  } catch (const ErroreControllo& e) {
    QMessageBox::critical(this, "Proprietà",
                          QString("Impossibile applicare le modifiche: %1 (errore %2)")
                              .arg(QString::fromStdString(e.what()))
                              .arg(e.Numero()));
    AggiornaApplica();
    return false;
  }
  AggiornaApplica();
  return true;
}

void FoglioProprieta::AggiornaApplica() {
  bool cambiata = tabs_->Changed();
  for (auto& p : altre_)
    cambiata = cambiata || p.cambiata();
  pulsanti_->button(QDialogButtonBox::Apply)->setEnabled(cambiata);
}

}  // namespace brisko
