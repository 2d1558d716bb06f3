#include "quomaro/Registrazione.h"

#include <array>
#include <type_traits>

#include "common/FabbricaDi.h"
#include "common/RegistrazioneServer.h"
#include "quomaro/clsCA.h"
#include "quomaro/clsDownload.h"
#include "quomaro/clsSOAP.h"

namespace quomaro {
namespace {

static_assert(std::is_same_v<orvane::HRESULT, long>);

orvane::FabbricaDi<clsCA> g_fabbricaCA;
orvane::FabbricaDi<clsSOAP> g_fabbricaSOAP;
orvane::FabbricaDi<clsDownload> g_fabbricaDownload;

constexpr std::array<orvane::InterfacciaServer, 4> kInterfacce{{
    {"_clsCA", "{9A62869B-509A-4143-BAEC-3ACF42A10305}"},
    {"_clsSOAP", "{A401A6B8-E524-4EB1-A1AA-447214B1D7E5}"},
    {"_clsDownload", "{239508CB-E41E-4AF1-9248-98712BE9C876}"},
    {"__clsDownload", "{C810A26C-CB5C-403D-8315-FE398DA78FA4}"},
}};

const std::array<orvane::ClasseServer, 3> kClassi{{
    {"clsCA", "Quomaro.clsCA", "{4DFC3EDC-A156-4701-BC2B-E5951A2B3C39}", false, &g_fabbricaCA},
    {"clsSOAP", "Quomaro.clsSOAP", "{B2FD9FE5-969C-481D-BC2B-E66077729525}", false,
     &g_fabbricaSOAP},
    {"clsDownload", "Quomaro.clsDownload", "{5526E976-64D9-442E-8529-73DA73842748}", false,
     &g_fabbricaDownload},
}};

const orvane::ServerComponenti kServer{"Quomaro", "{23127B7B-8F16-4018-9700-8BFA4C2A5448}", "2.0",
                                       kClassi, kInterfacce};

}  // namespace
}  // namespace quomaro

long DllRegisterServer() {
  return orvane::RegistraServer(quomaro::kServer);
}

long DllUnregisterServer() {
  return orvane::CancellaRegistrazioneServer(quomaro::kServer);
}

long DllGetClassObject(const char* clsid, void** fabbrica) {
  return orvane::FabbricaServer(quomaro::kServer, clsid, fabbrica);
}

long DllCanUnloadNow() {
  return orvane::ServerScaricabile();
}
