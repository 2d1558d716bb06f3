#include "updater/ControlliFinestra.h"

#include "platform/Messaggi.h"
#include "updater/basTervan.h"

namespace tervan {

bool ControlliFinestra::FinestraVisibile() const {
  return finestra.isVisible();
}

void ControlliFinestra::Segnala(const std::string& testo) const {
  if (tervan::RigaDiComandoRifilata().empty() && FinestraVisibile()) {
    (void)platform::MsgBox(testo, platform::vbExclamation + platform::vbOKOnly, kTitoloAvvisi);
  } else {
    NotifyIconCtrl1.MostraFumetto(testo, kTitoloAvvisi, 3000);
  }
}

void ControlliFinestra::Scrivi(QLabel& etichetta, const std::string& testo) {
  etichetta.setText(QString::fromStdString(testo));
  etichetta.repaint();
}

}  // namespace tervan
