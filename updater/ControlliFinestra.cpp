#include "updater/ControlliFinestra.h"

#include <QPainter>
#include <QStyle>

#include "platform/Messaggi.h"
#include "updater/basTervan.h"

namespace tervan {

RigaTesto::RigaTesto(QWidget* genitore) : QLabel(genitore) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setTextFormat(Qt::PlainText);
}

void RigaTesto::paintEvent(QPaintEvent* /*evento*/) {
  QPainter pittore(this);
  const QRect area = contentsRect();
  const QString visibile = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
  style()->drawItemText(&pittore, area,
                        static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())) |
                            Qt::TextSingleLine,
                        palette(), isEnabled(), visibile, foregroundRole());
}

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
