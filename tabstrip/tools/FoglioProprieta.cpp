#include "FoglioProprieta.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <array>
#include <memory>

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
  auto* pagina = new QWidget(pagine_);
  pagina->setObjectName("Font");
  auto* esempio = new QLabel(pagina);
  esempio->setObjectName("esempio");
  esempio->setFrameShape(QFrame::StyledPanel);
  esempio->setMinimumHeight(48);
  esempio->setAlignment(::Qt::AlignCenter);
  auto* nome = new QLabel(pagina);
  auto* scegli = new QPushButton("Scegli il carattere...", pagina);
  scegli->setObjectName("cmdFont");
  auto* disposizione = new QVBoxLayout(pagina);
  disposizione->addWidget(new QLabel("Font :", pagina));
  disposizione->addWidget(nome);
  disposizione->addWidget(esempio);
  disposizione->addWidget(scegli, 0, ::Qt::AlignLeft);
  disposizione->addStretch();
  pagine_->addTab(pagina, "Font");

  // The font shown; once the user chose one it is pending.
  auto attuale = std::make_shared<QFont>();
  auto scelto = std::make_shared<bool>(false);
  const auto mostra = [esempio, nome, attuale] {
    esempio->setFont(*attuale);
    esempio->setText("Principale  Aggiornamenti");
    nome->setText(QString("%1, %2 pt%3%4")
                      .arg(attuale->family())
                      .arg(attuale->pointSizeF())
                      .arg(attuale->bold() ? ", grassetto" : "")
                      .arg(attuale->italic() ? ", corsivo" : ""));
  };
  connect(scegli, &QPushButton::clicked, this, [this, attuale, scelto, mostra] {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, *attuale, this, "Font");
    if (!ok) return;
    *attuale = font;
    *scelto = true;
    mostra();
    AggiornaApplica();
  });
  altre_.push_back(Pagina{[attuale, scelto, mostra](xpVantelTab* c) {
                            *attuale = c != nullptr ? c->Font() : QFont();
                            *scelto = false;
                            mostra();
                          },
                          [attuale](xpVantelTab& c) { c.SetFont(*attuale); },
                          [scelto] { return *scelto; }, [scelto] { *scelto = false; }});
}

void FoglioProprieta::AggiungiPaginaColori() {
  auto* pagina = new QWidget(pagine_);
  pagina->setObjectName("Color");
  auto* griglia = new QGridLayout(pagina);
  pagine_->addTab(pagina, "Color");

  // The values shown, one per property; those the user changed are pending.
  auto valori = std::make_shared<std::array<OLE_COLOR, kColori.size()>>();
  auto cambiati = std::make_shared<std::array<bool, kColori.size()>>();
  auto campioni = std::make_shared<std::array<QPushButton*, kColori.size()>>();
  const auto mostra = [valori, campioni](std::size_t i) {
    const QColor colore = ColoreQt((*valori)[i]);
    QPixmap campione(40, 14);
    campione.fill(colore);
    (*campioni)[i]->setIcon(QIcon(campione));
    (*campioni)[i]->setIconSize(campione.size());
    const bool sistema = ((*valori)[i] & 0x80000000U) != 0;
    (*campioni)[i]->setText(sistema ? QString("sistema %1").arg((*valori)[i] & 0xFFU)
                                    : colore.name().toUpper());
  };
  for (std::size_t i = 0; i < kColori.size(); ++i) {
    const int riga = static_cast<int>(i);
    griglia->addWidget(new QLabel(QString(kColori[i].nome) + " :", pagina), riga, 0);
    auto* pulsante = new QPushButton(pagina);
    pulsante->setObjectName(kColori[i].nome);
    pulsante->setMinimumWidth(150);
    (*campioni)[i] = pulsante;
    griglia->addWidget(pulsante, riga, 1, ::Qt::AlignLeft);
    connect(pulsante, &QPushButton::clicked, this, [this, i, valori, cambiati, mostra] {
      const QColor colore = QColorDialog::getColor(ColoreQt((*valori)[i]), this, kColori[i].nome);
      if (!colore.isValid()) return;
      (*valori)[i] = Ole(colore);
      (*cambiati)[i] = true;
      mostra(i);
      AggiornaApplica();
    });
  }
  griglia->setRowStretch(static_cast<int>(kColori.size()), 1);
  griglia->setColumnStretch(2, 1);

  altre_.push_back(Pagina{[valori, cambiati, mostra](xpVantelTab* c) {
                            for (std::size_t i = 0; i < kColori.size(); ++i) {
                              (*valori)[i] = c != nullptr ? (c->*kColori[i].leggi)() : 0;
                              (*cambiati)[i] = false;
                              mostra(i);
                            }
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
