#include "updater/OpzioniTervan.h"

#include <stdexcept>
#include <string>
#include <string_view>

#include "common/basUtilxx.h"
#include "platform/Collocazione.h"
#include "platform/Impostazioni.h"
#include "platform/Percorsi.h"
#include "platform/PrefissoWine.h"
#include "quomaro/Configurazione.h"

namespace tervan {
namespace {

constexpr std::string_view kUso =
    "Uso: Tervan [VERIFICA | LIVE | DEBUG]\n"
    "     Tervan --configurazione | --version | --help\n"
    "\n"
    "Senza argomenti Tervan apre la finestra degli aggiornamenti: F4 cerca, Invio\n"
    "segna un pacchetto, F10 scarica quelli segnati.\n"
    "  VERIFICA          avvio all'accesso: resta nell'area di notifica, controlla\n"
    "                    da solo e scarica subito ciò che trova\n"
    "  LIVE              cerca subito; dopo uno scaricamento apre la cronologia sul\n"
    "                    sito e termina (anche con Live.txt accanto al programma)\n"
    "  DEBUG             registra gli errori in Tarvik.Log senza mostrarli\n"
    "  --configurazione  mostra gli indirizzi in uso, da dove vengono e dove\n"
    "                    stanno i file di questo utente\n"
    "  --version         mostra la versione\n"
    "  --help            mostra questo aiuto\n"
    "\n"
    "File di impostazioni: orvane/tervan.conf, righe \"chiave = valore\" (le righe\n"
    "che iniziano con # sono commenti), chiavi server (il server degli\n"
    "aggiornamenti), sito (il sito web) e wineprefix (il prefisso Wine in cui\n"
    "girano i programmi Orvane), per esempio\n"
    "    server = http://aggiornamenti.example:8080\n"
    "Ogni chiave viene dal primo file che la contiene tra $XDG_CONFIG_HOME\n"
    "(~/.config) e le cartelle di $XDG_CONFIG_DIRS (/etc/xdg).\n"
    "\n"
    "Variabili d'ambiente:\n"
    "  ORVANE_UPDATE_SERVER  server degli aggiornamenti (vince sul file)\n"
    "  ORVANE_WEB_SITE       sito web (vince sul file)\n"
    "  ORVANE_REGISTRY       cartella del registro (~/.config/orvane/registry)\n"
    "  ORVANE_DRIVE_C        cartella dell'unità C: (~/.local/share/orvane/drive_c)\n"
    "  ORVANE_WINEPREFIX     prefisso Wine dei programmi (vince sul file; altrimenti\n"
    "                        $WINEPREFIX o ~/.wine, se contengono system.reg)\n";

int MostraConfigurazione(const std::filesystem::path& cartella, std::ostream& uscita,
                         std::ostream& errori) {
  const quomaro::ConfigurazioneServizio c = quomaro::LeggiConfigurazione();
  if (!c.errore.empty()) {
    errori << "Tervan: impostazioni non valide: " << c.errore << "\n";
    return 1;
  }
  const auto posto = [&](platform::FileSistema quale) {
    return platform::PostoFile(quale, cartella).string();
  };
  platform::SceltaPrefissoWine wine;
  try {
    platform::ControllaVariabiliCartelle();
    wine = platform::ScegliPrefissoWine();
  } catch (const std::runtime_error& e) {
    errori << "Tervan: impostazioni non valide: " << e.what() << "\n";
    return 1;
  }
  uscita << "server = " << c.server.valore << "  (" << c.server.origine << ")\n"
         << "sito = " << c.sito.valore << "  (" << c.sito.origine << ")\n"
         << "prefisso Wine = "
         << (wine.prefisso          ? wine.prefisso->string() + "  (" + wine.origine + ")"
             : wine.rifiuto.empty() ? std::string("nessuno")
                                    : "nessuno  (" + wine.rifiuto + ")")
         << "\n\nFile di impostazioni, nell'ordine:\n";
  for (const auto& file : platform::FileImpostazioni())
    uscita << "  " << file.string() << "\n";
  uscita << "\nCartella del programma: " << cartella.string() << "\n"
         << "Log degli errori: " << posto(platform::FileSistema::LogErrori) << "\n"
         << "Archivio locale: " << posto(platform::FileSistema::Archivio) << "\n"
         << "Copia dell'ultima richiesta: " << posto(platform::FileSistema::CopiaRichiesta) << "\n"
         << "Blocco d'istanza: " << posto(platform::FileSistema::BloccoIstanza) << "\n";
  return 0;
}

}  // namespace

std::optional<int> OpzioneTervan(const std::vector<std::string>& argomenti,
                                 const std::filesystem::path& cartellaProgramma,
                                 std::ostream& uscita, std::ostream& errori) {
  if (argomenti.size() != 1) return std::nullopt;
  const std::string& opzione = argomenti.front();
  if (opzione == "--help" || opzione == "-h") {
    uscita << kUso;
    return 0;
  }
  if (opzione == "--version") {
    uscita << "Tervan " << orvane::TestoVersione() << "\n";
    return 0;
  }
  if (opzione == "--configurazione") return MostraConfigurazione(cartellaProgramma, uscita, errori);
  return std::nullopt;
}

}  // namespace tervan
