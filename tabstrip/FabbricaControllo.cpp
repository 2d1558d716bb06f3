#include "FabbricaControllo.h"

#include <QApplication>
#include <QPointer>
#include <QThread>
#include <typeinfo>

#include "brisko/xpVantelTab.h"
#include "common/FabbricaDi.h"
#include "common/Routine.h"

namespace brisko {

orvane::HRESULT FabbricaControllo::CreaIstanza(std::shared_ptr<void>& oggetto) noexcept {
  oggetto.reset();
  const auto* applicazione = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (applicazione == nullptr || QThread::currentThread() != applicazione->thread()) {
    return orvane::E_FAIL;
  }
  const bool fatto = orvane::Tacitamente([&] {
    auto* controllo = new xpVantelTab();
    orvane::OggettiInVita().fetch_add(1);
    oggetto = std::shared_ptr<xpVantelTab>(controllo,
                                           [vivo = QPointer<xpVantelTab>(controllo)](xpVantelTab*) {
                                             delete vivo.data();
                                             orvane::OggettiInVita().fetch_sub(1);
                                           });
  });
  return fatto ? orvane::S_OK : orvane::E_FAIL;
}

const char* FabbricaControllo::TipoIstanze() const noexcept {
  return typeid(xpVantelTab).name();
}

}  // namespace brisko
