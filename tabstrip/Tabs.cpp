#include "brisko/Tabs.h"

#include <QBitmap>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <string>

#include "OleColore.h"
#include "brisko/ErroreControllo.h"
#include "brisko/mCommonDialog.h"
#include "brisko/xpVantelTab.h"
#include "mXPVantel.h"

namespace brisko {
namespace {

constexpr int kLatoFigura = 64;

// The width box as a 32-bit number, rounded as the platform converts text
// to a whole number (halves to the even neighbour).
std::int32_t Larghezza(const QString& testo) {
  bool numero = false;
  const double valore = testo.trimmed().toDouble(&numero);
  if (!numero || !std::isfinite(valore)) {
    throw ErroreControllo(
        ErroreControllo::kTipoNonCorrispondente,
        "Tipo non corrispondente: la larghezza \"" + testo.toStdString() + "\" non è un numero");
  }
  return mXPVantel::CLng(valore);
}

QToolButton* PulsanteIcona(QWidget* genitore, const char* nome, QStyle::StandardPixmap icona,
                           const QString& suggerimento) {
  auto* pulsante = new QToolButton(genitore);
  pulsante->setObjectName(nome);
  pulsante->setIcon(genitore->style()->standardIcon(icona));
  pulsante->setIconSize(QSize(16, 16));
  pulsante->setToolTip(suggerimento);
  return pulsante;
}

}  // namespace

Tabs::Tabs(QWidget* parent) : QWidget(parent) {
  setObjectName("Tabs");
  setWindowTitle("PropertyPage1");

  hsb_ = new QScrollBar(Qt::Horizontal, this);
  hsb_->setObjectName("hsb");
  hsb_->setRange(1, 1);
  hsb_->setValue(1);
  hsb_->setPageStep(1);
  txtIndex_ = new QLineEdit(this);
  txtIndex_->setObjectName("txtIndex");
  txtIndex_->setReadOnly(true);
  txtIndex_->setMaximumWidth(60);
  txt0_ = new QLineEdit(this);
  txt0_->setObjectName("txt(0)");
  txt1_ = new QLineEdit(this);
  txt1_->setObjectName("txt(1)");
  txt1_->setMaximumWidth(80);

  auto* frame1 = new QGroupBox("Tab Picture", this);
  frame1->setObjectName("Frame1");
  picTab_ = new QLabel(frame1);
  picTab_->setObjectName("picTab");
  picTab_->setFixedSize(kLatoFigura, kLatoFigura);
  picTab_->setAlignment(Qt::AlignCenter);
  picTab_->setFrameShape(QFrame::StyledPanel);
  picTab_->setFrameShadow(QFrame::Sunken);
  cmdOpenDlg_ = PulsanteIcona(frame1, "cmdOpenDlg", QStyle::SP_DialogOpenButton, "Load Picture");
  cmdDel_ = PulsanteIcona(frame1, "cmdDel", QStyle::SP_DialogDiscardButton, "Remove Picture");
  auto* pulsantiFigura = new QVBoxLayout;
  pulsantiFigura->addWidget(cmdOpenDlg_);
  pulsantiFigura->addWidget(cmdDel_);
  pulsantiFigura->addStretch();
  auto* disposizioneFigura = new QHBoxLayout(frame1);
  disposizioneFigura->addWidget(picTab_);
  disposizioneFigura->addLayout(pulsantiFigura);
  disposizioneFigura->addStretch();

  cmdAddTab_ = new QPushButton("Add Tab", this);
  cmdAddTab_->setObjectName("cmdAddTab");
  cmdDelete_ = new QPushButton("Delete", this);
  cmdDelete_->setObjectName("cmdDelete");

  // Each field is named by its label, which is what a screen reader says of it.
  const auto etichetta = [this](const char* testo, QWidget* campo) {
    auto* l = new QLabel(testo, this);
    l->setBuddy(campo);
    return l;
  };
  auto* griglia = new QGridLayout(this);
  griglia->addWidget(etichetta("Index :", txtIndex_), 0, 0);
  auto* riga = new QHBoxLayout;
  riga->addWidget(txtIndex_);
  riga->addWidget(hsb_, 1);
  griglia->addLayout(riga, 0, 1);
  griglia->addWidget(etichetta("Tab Text :", txt0_), 1, 0);
  griglia->addWidget(txt0_, 1, 1);
  griglia->addWidget(etichetta("Tab Width :", txt1_), 2, 0);
  griglia->addWidget(txt1_, 2, 1, Qt::AlignLeft);
  griglia->addWidget(frame1, 3, 0, 1, 2);
  auto* comandi = new QHBoxLayout;
  comandi->addStretch();
  comandi->addWidget(cmdAddTab_);
  comandi->addWidget(cmdDelete_);
  griglia->addLayout(comandi, 4, 0, 1, 2);
  griglia->setRowStretch(5, 1);

  connect(hsb_, &QScrollBar::valueChanged, this, [this] { hsbChange(); });
  // Only the user's edits are pending changes, not the page filling its
  // boxes with the values of the tab it shows.
  connect(txt0_, &QLineEdit::textEdited, this, [this] { SetChanged(true); });
  connect(txt1_, &QLineEdit::textEdited, this, [this] { SetChanged(true); });
  connect(cmdAddTab_, &QPushButton::clicked, this, [this] { cmdAddTabClick(); });
  connect(cmdDelete_, &QPushButton::clicked, this, [this] { cmdDeleteClick(); });
  connect(cmdOpenDlg_, &QToolButton::clicked, this, [this] { cmdOpenDlgClick(); });
  connect(cmdDel_, &QToolButton::clicked, this, [this] { cmdDelClick(); });
  SelectionChanged(nullptr);
}

Tabs::~Tabs() = default;

void Tabs::SetChanged(bool valore) {
  if (changed_ != valore) {
    changed_ = valore;
    emit ChangedChanged(valore);
  }
}

void Tabs::Segnala(const QString& azione, const ErroreControllo& errore) {
  emit Errore(QString("%1: %2 (errore %3)")
                  .arg(azione, QString::fromStdString(errore.what()))
                  .arg(errore.Numero()));
}

void Tabs::MostraFigura(std::shared_ptr<Immagine> figura) {
  figura_ = std::move(figura);
  picTab_->setToolTip({});
  if (!figura_ || figura_->Pixel().isNull()) {
    picTab_->clear();
    if (figura_ && !figura_->Origine().empty()) {
      // A picture file the state names but that could not be loaded. A
      // tooltip reads a text that looks like markup as markup: the file's
      // name, which the state file chose, is shown as the text it is.
      picTab_->setText("?");
      picTab_->setToolTip(Qt::convertFromPlainText(
          "Immagine non caricata: " + QString::fromStdString(figura_->Origine().string())));
    }
    return;
  }
  QPixmap pixmap = QPixmap::fromImage(figura_->Pixel());
  if (controllo_ != nullptr) {
    // Shown as the tab shows it: the mask colour is transparent.
    const COLORREF maschera = ColoreRisolto(controllo_->MaskColor());
    const QColor colore(static_cast<int>(maschera & 0xFFU),
                        static_cast<int>((maschera >> 8U) & 0xFFU),
                        static_cast<int>((maschera >> 16U) & 0xFFU));
    pixmap.setMask(pixmap.createMaskFromColor(colore, Qt::MaskInColor));
  }
  if (pixmap.width() > kLatoFigura - 4 || pixmap.height() > kLatoFigura - 4) {
    pixmap = pixmap.scaled(kLatoFigura - 4, kLatoFigura - 4, Qt::KeepAspectRatio,
                           Qt::SmoothTransformation);
  }
  picTab_->setPixmap(pixmap);
}

void Tabs::SelectionChanged(xpVantelTab* controllo) {
  controllo_ = controllo;
  indice_ = 0;
  SetChanged(false);
  const std::int32_t n = controllo_ ? controllo_->NumberOfTabs() : 0;
  // Without tabs there is nothing to show or edit, but a control can still
  // get its first tab.
  for (QWidget* figlio : findChildren<QWidget*>()) {
    figlio->setEnabled(n > 0);
  }
  cmdAddTab_->setEnabled(controllo_ != nullptr);
  if (n == 0) {
    txtIndex_->clear();
    txt0_->clear();
    txt1_->clear();
    MostraFigura(nullptr);
    return;
  }
  {
    const QSignalBlocker blocco(hsb_);
    hsb_->setMaximum(n);
    hsb_->setValue(1);
  }
  txtIndex_->setText("1");
  indice_ = 1;
  hsbChange();
}

void Tabs::hsbChange() {
  if (controllo_ == nullptr) {
    return;
  }
  const std::int32_t v = hsb_->value();
  if (v > controllo_->NumberOfTabs()) {
    // The control lost tabs behind the page's back: start again from tab 1.
    SelectionChanged(controllo_);
    return;
  }
  if (changed_ && v != indice_) {
    try {
      ApplyChanges();
      SetChanged(false);
    } catch (const ErroreControllo& e) {
      // The edits stay on the page with the tab they belong to.
      const QSignalBlocker blocco(hsb_);
      hsb_->setValue(indice_);
      Segnala("Impossibile applicare le modifiche alla scheda " + QString::number(indice_), e);
      return;
    }
  }
  txtIndex_->setText(QString::number(v));
  indice_ = v;
  txt0_->setText(QString::fromStdString(controllo_->TabCaption(v)));
  txt1_->setText(QString::number(controllo_->TabWidth(v)));
  MostraFigura(controllo_->TabPicture(v));
  cmdDelete_->setEnabled(v != 0);
}

void Tabs::ApplyChanges() {
  if (controllo_ == nullptr) {
    return;
  }
  if (txt1_->text().isEmpty()) {
    txt1_->setText("60");
  }
  controllo_->SetTabCaption(indice_, txt0_->text().toStdString());
  const std::int32_t larghezza = Larghezza(txt1_->text());
  const std::int32_t precedente = controllo_->TabWidth(indice_);
  try {
    controllo_->SetTabWidth(indice_, larghezza);
  } catch (const ErroreControllo&) {
    // The control stores a width before it paints it: one it cannot paint
    // would make every later paint fail, so the tab gets its width back and
    // the refused one stays in the box for the user to correct.
    try {
      controllo_->SetTabWidth(indice_, precedente);
    } catch (const ErroreControllo&) {
      // The width is back; the paint failed before this apply too.
    }
    throw;
  }
  controllo_->SetTabPicture(indice_, figura_);
}

void Tabs::cmdAddTabClick() {
  if (controllo_ == nullptr) {
    return;
  }
  try {
    if (indice_ == 0) {
      // No tab was shown, so there are no values to carry over: the page
      // shows the new first tab.
      controllo_->AddTab(60, std::string());
      SelectionChanged(controllo_);
      return;
    }
    if (changed_) {
      ApplyChanges();
    }
    const std::int32_t n = controllo_->AddTab(60, std::string());
    // The boxes keep the tab shown before: the next apply writes them into
    // the new tab.
    {
      const QSignalBlocker blocco(hsb_);
      hsb_->setMaximum(n);
    }
    for (QWidget* figlio : findChildren<QWidget*>()) {
      figlio->setEnabled(true);
    }
    SetChanged(true);
    indice_ = n;
    MostraFigura(nullptr);
  } catch (const ErroreControllo& e) {
    Segnala("Impossibile aggiungere la scheda", e);
  }
}

void Tabs::cmdDeleteClick() {
  if (controllo_ == nullptr) {
    return;
  }
  try {
    controllo_->DeleteTab();
  } catch (const ErroreControllo& e) {
    // Only the repaint after the removal failed: the tab is gone, and the
    // page follows the control all the same.
    Segnala("Impossibile ridisegnare le schede dopo l'eliminazione", e);
  }
  const std::int32_t n = controllo_->NumberOfTabs();
  if (indice_ > n) {
    // The edits belonged to the tab that went: the page shows the new last
    // tab instead of writing them into a tab that no longer exists.
    SetChanged(false);
    indice_ = 0;
  }
  hsb_->setMaximum(n);
  if (indice_ == 0) {
    hsbChange();
  }
  SetChanged(true);
}

void Tabs::cmdOpenDlgClick() {
  const QString percorso =
      mCommonDialog::ShowOpen(this, "Load Picture", "All Picture Files|*.bmp;*.ico;*.gif", "*.*");
  if (percorso.isEmpty()) {
    return;
  }
  try {
    MostraFigura(Immagine::LoadPicture(percorso.toStdString()));
    SetChanged(true);
  } catch (const ErroreControllo& e) {
    Segnala("Impossibile caricare l'immagine " + percorso, e);
  }
}

void Tabs::cmdDelClick() {
  MostraFigura(nullptr);
  SetChanged(true);
}

}  // namespace brisko
