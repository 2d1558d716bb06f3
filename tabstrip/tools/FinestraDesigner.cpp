#include "FinestraDesigner.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QVBoxLayout>

#include "FoglioProprieta.h"
#include "brisko/ErroreControllo.h"
#include "brisko/PropertyBagIni.h"
#include "brisko/xpVantelTab.h"

namespace brisko {
namespace {

constexpr int kMargine = 12;

QString Testo(const std::filesystem::path& file) {
  return QString::fromStdString(file.string());
}

QString Errore(const ErroreControllo& e) {
  return QString("%1 (errore %2)").arg(QString::fromStdString(e.what())).arg(e.Numero());
}

// The form the control sits on: the control fills it but for a margin and
// follows its size.
class Modulo : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void resizeEvent(QResizeEvent* evento) override {
    QWidget::resizeEvent(evento);
    for (auto* figlio : findChildren<xpVantelTab*>(Qt::FindDirectChildrenOnly)) {
      figlio->setGeometry(rect().adjusted(kMargine, kMargine, -kMargine, -kMargine));
    }
  }
};

}  // namespace

FinestraDesigner::FinestraDesigner(std::filesystem::path stato) : stato_(std::move(stato)) {
  modulo_ = new Modulo(this);
  modulo_->setObjectName("Form1");
  modulo_->setMinimumSize(240, 120);
  setCentralWidget(modulo_);
  eventi_ = new QLabel(this);
  statusBar()->addWidget(eventi_, 1);
  foglio_ = new FoglioProprieta(this);

  auto* file = menuBar()->addMenu("&File");
  file->addAction("&Apri...", QKeySequence::Open, this, [this] {
    const QString scelto =
        QFileDialog::getOpenFileName(this, "Apri stato", Testo(stato_), "Stati (*.ini)");
    if (!scelto.isEmpty()) Apri(scelto.toStdString());
  });
  file->addAction("&Salva", QKeySequence::Save, this, [this] { Salva(stato_); });
  file->addAction("Salva &con nome...", QKeySequence::SaveAs, this, [this] {
    const QString scelto =
        QFileDialog::getSaveFileName(this, "Salva stato", Testo(stato_), "Stati (*.ini)");
    if (!scelto.isEmpty() && Salva(scelto.toStdString())) {
      stato_ = scelto.toStdString();
      AggiornaTitolo();
    }
  });
  file->addSeparator();
  file->addAction("&Esci", QKeySequence::Quit, this, [this] { close(); });
  // No mnemonic: Alt with a letter belongs to the captions' access keys.
  menuBar()->addAction("Proprietà...", this, [this] {
    foglio_->show();
    foglio_->raise();
  });

  auto* nuovo = new xpVantelTab(modulo_);
  std::error_code errore;
  if (std::filesystem::exists(stato_, errore)) {
    auto bag = PropertyBagIni::Carica(stato_);
    nuovo->ReadProperties(bag);
    Sostituisci(nuovo);
    MostraAvvisi(bag);
  } else {
    nuovo->InitProperties();
    Sostituisci(nuovo);
  }
  resize(520, 260);
}

void FinestraDesigner::MostraAvvisi(const PropertyBagIni& bag) {
  avvisi_ = bag.Avvisi();
  if (avvisi_.empty()) {
    return;
  }
  QString testo;
  for (const auto& avviso : avvisi_) {
    testo += QString::fromStdString(avviso) + "\n";
  }
  statusBar()->showMessage("Alcuni valori dello stato non sono stati caricati");
  // Not modal: the window stays usable while the warning is shown.
  auto* avviso = new QMessageBox(QMessageBox::Warning, "Apri",
                                 "Lo stato " + Testo(stato_) +
                                     " nomina file che non è stato possibile caricare; "
                                     "al salvataggio le righe restano come sono.",
                                 QMessageBox::Ok, this);
  avviso->setInformativeText(testo.trimmed());
  avviso->setAttribute(Qt::WA_DeleteOnClose);
  avviso->setModal(false);
  avviso->show();
}

void FinestraDesigner::Sostituisci(xpVantelTab* nuovo) {
  delete controllo_;
  controllo_ = nuovo;
  controllo_->setObjectName("xpVantelTab1");
  controllo_->setGeometry(modulo_->rect().adjusted(kMargine, kMargine, -kMargine, -kMargine));
  controllo_->show();
  connect(controllo_, &xpVantelTab::PropertyChanged, this, [this] {
    modificato_ = true;
    AggiornaTitolo();
  });
  connect(controllo_, &xpVantelTab::TabPressed, this, [this](std::int16_t precedente) {
    eventi_->setText(
        QString("TabPressed: scheda %1 (prima %2)").arg(controllo_->SelectedTab()).arg(precedente));
  });
  foglio_->Modifica(controllo_);
  modificato_ = false;
  AggiornaTitolo();
}

void FinestraDesigner::AggiornaTitolo() {
  setWindowTitle(
      QString("%1%2 - brisko-designer").arg(modificato_ ? "*" : "").arg(Testo(stato_.filename())));
}

bool FinestraDesigner::Salva(const std::filesystem::path& file) {
  try {
    PropertyBagIni bag(file);
    controllo_->WriteProperties(bag);
    bag.Salva();
  } catch (const ErroreControllo& e) {
    QMessageBox::critical(this, "Salva", "Impossibile salvare " + Testo(file) + ": " + Errore(e));
    return false;
  }
  modificato_ = false;
  AggiornaTitolo();
  return true;
}

bool FinestraDesigner::Apri(const std::filesystem::path& file) {
  auto* nuovo = new xpVantelTab(modulo_);
  PropertyBagIni bag(file);
  try {
    bag = PropertyBagIni::Carica(file);
    nuovo->ReadProperties(bag);
  } catch (const ErroreControllo& e) {
    delete nuovo;
    QMessageBox::critical(this, "Apri", "Impossibile leggere " + Testo(file) + ": " + Errore(e));
    return false;
  }
  stato_ = file;
  Sostituisci(nuovo);
  MostraAvvisi(bag);
  return true;
}

void FinestraDesigner::closeEvent(QCloseEvent* evento) {
  if (modificato_) {
    const auto risposta = QMessageBox::question(
        this, "brisko-designer", "Salvare le modifiche in " + Testo(stato_) + "?",
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (risposta == QMessageBox::Cancel || (risposta == QMessageBox::Save && !Salva(stato_))) {
      evento->ignore();
      return;
    }
  }
  evento->accept();
}

}  // namespace brisko
