#include "quomaro/Configurazione.h"

#include <cstdlib>
#include <optional>
#include <string_view>

#include "common/Errore.h"
#include "platform/Impostazioni.h"
#include "platform/TestoUtf8.h"

namespace quomaro {
namespace {

constexpr std::string_view kPercorsoEndpoint = "/ServizioAggiornamenti/ServizioAggiornamenti.php";

// Without trailing slashes, so that paths appended to it never produce "//".
std::string SenzaBarreFinali(std::string indirizzo) {
  while (!indirizzo.empty() && indirizzo.back() == '/')
    indirizzo.pop_back();
  return indirizzo;
}

IndirizzoConfigurato Scegli(const char* variabile,
                            const std::optional<platform::ImpostazioneLetta>& dalFile,
                            std::string_view predefinito) {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the library never changes the environment.
  const char* valore = std::getenv(variabile);
  if (valore != nullptr && *valore != '\0')
    return {SenzaBarreFinali(valore), "variabile " + std::string(variabile)};
  if (dalFile) {
    return {SenzaBarreFinali(dalFile->valore),
            dalFile->file.string() + ", riga " + std::to_string(dalFile->riga)};
  }
  return {SenzaBarreFinali(std::string(predefinito)), "predefinito di compilazione"};
}

ConfigurazioneServizio InVigore() {
  ConfigurazioneServizio c = LeggiConfigurazione();
  if (!c.errore.empty()) throw orvane::Errore(orvane::kChiamataNonValida, c.errore);
  return c;
}

}  // namespace

ConfigurazioneServizio LeggiConfigurazione() {
  ConfigurazioneServizio c;
  platform::ImpostazioniSito file;
  try {
    file = platform::LeggiImpostazioniSito();
  } catch (const platform::ErroreImpostazioni& e) {
    c.errore = e.what();
    return c;
  }
  c.server = Scegli("ORVANE_UPDATE_SERVER", file.server, ORVANE_UPDATE_SERVER_DEFAULT);
  c.sito = Scegli("ORVANE_WEB_SITE", file.sito, ORVANE_WEB_SITE_DEFAULT);
  // A variable is held to the settings files' rule: an address that is no
  // http or https address stops everything, as a broken file does, instead
  // of every request failing as if the server never answered.
  for (const IndirizzoConfigurato* indirizzo : {&c.server, &c.sito}) {
    if (!platform::IndirizzoValido(indirizzo->valore)) {
      c.errore = indirizzo->origine + ": indirizzo non valido: \"" +
                 platform::ControlliVisibili(indirizzo->valore) +
                 "\" (atteso schema, host e porta, per esempio " +
                 std::string(platform::kEsempioIndirizzo) + ")";
      c.server = {};
      c.sito = {};
      break;
    }
  }
  return c;
}

std::string ServerAggiornamenti() {
  return InVigore().server.valore;
}

std::string EndpointServizio() {
  return ServerAggiornamenti() + std::string(kPercorsoEndpoint);
}

std::string SitoWeb() {
  return InVigore().sito.valore;
}

}  // namespace quomaro
