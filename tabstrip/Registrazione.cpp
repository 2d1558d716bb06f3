#include "brisko/Registrazione.h"

#include <array>
#include <type_traits>

#include "common/RegistrazioneServer.h"

namespace brisko {
namespace {

static_assert(std::is_same_v<orvane::HRESULT, long>);

constexpr std::array<orvane::InterfacciaServer, 3> kInterfacce{{
    {"_xpVantelTab", "{44F65BAF-3762-4A7F-8C03-DBA233935F9D}"},
    {"__xpVantelTab", "{3C318479-C788-4040-83C0-8BA8DD1C37D9}"},
    {"_Tabs", "{B7BB340F-D8E1-4C73-9222-E26927F066E7}"},
}};

// The control and its property page are widgets that a form or a property
// sheet hosts; they are made by their host's own code, which links the
// library. Through DllGetClassObject both answer "class not available" until
// the library carries factories for them.
constexpr std::array<orvane::ClasseServer, 2> kClassi{{
    {"xpVantelTab", "Brisko.xpVantelTab", "{B271AF6D-7732-4DA4-9C87-64EB2AF58B94}", true, nullptr},
    {"Tabs", "", "{DC8137BC-F82D-4488-A952-5CAD7E2574EE}", false, nullptr},
}};

const orvane::ServerComponenti kServer{"Brisko", "{1659F14B-03E6-4545-9494-128C88EFBEF6}", "1.0",
                                       kClassi, kInterfacce};

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
