// A component library that makes one kind of object through its factory:
// the peer of the host-side creation tests. It leaves nothing behind that
// would keep it loaded, so the tests see when the host lets it go.

#include "common/FabbricaDi.h"
#include "platform/TestoUtf8.h"

namespace {

struct Oggetto {
  int valore = 7;
};

orvane::FabbricaDi<Oggetto> g_fabbrica;

}  // namespace

#define ESPORTA extern "C" __attribute__((visibility("default")))

ESPORTA long DllGetClassObject(const char* clsid, void** fabbrica) {
  if (fabbrica == nullptr) return orvane::E_POINTER;
  *fabbrica = nullptr;
  if (clsid == nullptr || !platform::UgualiSenzaMaiuscoleAscii(clsid, COMPONENTE_OGGETTI_CLSID)) {
    return orvane::CLASS_E_CLASSNOTAVAILABLE;
  }
  *fabbrica = static_cast<orvane::FabbricaClassi*>(&g_fabbrica);
  return orvane::S_OK;
}

ESPORTA long DllCanUnloadNow() {
  return orvane::OggettiInVita().load() == 0 ? orvane::S_OK : orvane::S_FALSE;
}
