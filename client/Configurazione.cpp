#include "quomaro/Configurazione.h"

#include <cstdlib>
#include <string_view>

namespace quomaro {
namespace {

constexpr std::string_view kPercorsoEndpoint = "/ServizioAggiornamenti/ServizioAggiornamenti.php";

// The configured address with its trailing slashes removed, so that paths
// appended to it never produce "//".
std::string Indirizzo(const char* variabile, std::string_view predefinito) {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the library never changes the environment.
  const char* valore = std::getenv(variabile);
  std::string indirizzo =
      (valore != nullptr && *valore != '\0') ? std::string(valore) : std::string(predefinito);
  while (!indirizzo.empty() && indirizzo.back() == '/')
    indirizzo.pop_back();
  return indirizzo;
}

}  // namespace

std::string ServerAggiornamenti() {
  return Indirizzo("ORVANE_UPDATE_SERVER", ORVANE_UPDATE_SERVER_DEFAULT);
}

std::string EndpointServizio() {
  return ServerAggiornamenti() + std::string(kPercorsoEndpoint);
}

std::string SitoWeb() {
  return Indirizzo("ORVANE_WEB_SITE", ORVANE_WEB_SITE_DEFAULT);
}

}  // namespace quomaro
