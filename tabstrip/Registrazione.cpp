#include "brisko/Registrazione.h"

#include <array>
#include <type_traits>

#include "FabbricaControllo.h"
#include "brisko/Identita.h"
#include "common/RegistrazioneServer.h"

namespace brisko {
namespace {

static_assert(std::is_same_v<orvane::HRESULT, long>);

FabbricaControllo g_fabbricaControllo;

constexpr std::array<orvane::InterfacciaServer, 3> kInterfacce{{
    {"_xpVantelTab", identita::k_xpVantelTab},
    {"__xpVantelTab", identita::kDoppio_xpVantelTab},
    {"_Tabs", identita::k_Tabs},
}};

// The control is made by its factory on a GUI thread; the property page
// belongs to the designer and is not made through the store.
const std::array<orvane::ClasseServer, 2> kClassi{{
    {"xpVantelTab", identita::kProgId, identita::kxpVantelTab, true, &g_fabbricaControllo},
    {"Tabs", "", identita::kTabs, false, nullptr},
}};

const orvane::ServerComponenti kServer{"Brisko", identita::kLibreria, "1.0", kClassi, kInterfacce};

}  // namespace
}  // namespace brisko

long DllRegisterServer() {
  return orvane::RegistraServer(brisko::kServer);
}

long DllUnregisterServer() {
  return orvane::CancellaRegistrazioneServer(brisko::kServer);
}

long DllGetClassObject(const char* clsid, void** fabbrica) {
  return orvane::FabbricaServer(brisko::kServer, clsid, fabbrica);
}

long DllCanUnloadNow() {
  return orvane::ServerScaricabile();
}
