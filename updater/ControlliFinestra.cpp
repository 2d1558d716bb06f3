#include "updater/ControlliFinestra.h"

#include "platform/Messaggi.h"
#include "platform/RigaDiComando.h"
#include "platform/TestoUtf8.h"

namespace tervan {

bool ControlliFinestra::FinestraVisibile() const {
  return finestra.isVisible();
}

void ControlliFinestra::Segnala(const std::string& testo) const {
  if (platform::SenzaSpaziAiLati(platform::RigaDiComando()).empty() && FinestraVisibile()) {
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
