// The user-facing services of basUtilxx: the per-user settings and the
// browser. Kept apart from the error log so a deliverable that only logs
// does not link them. Closing another program's window is in
// basUtilxxFinestre.cpp.

#include <array>
#include <string>
#include <utility>

#include "common/Errore.h"
#include "common/Routine.h"
#include "common/basUtilxx.h"
#include "platform/Browser.h"
#include "platform/Messaggi.h"
#include "platform/Registro.h"

namespace orvane {
namespace {

constexpr std::string_view kModulo = "basUtilxx";
constexpr std::string_view kRamoImpostazioni = "Software\\VB and VBA Program Settings\\";

// A key handle closed when it goes.
class ChiaveImpostazioni {
 public:
  ChiaveImpostazioni() = default;
  ~ChiaveImpostazioni() {
    if (h_ != 0) platform::RegCloseKey(h_);
  }
  ChiaveImpostazioni(const ChiaveImpostazioni&) = delete;
  ChiaveImpostazioni& operator=(const ChiaveImpostazioni&) = delete;
  platform::HKEY& H() { return h_; }

 private:
  platform::HKEY h_ = 0;
};

[[noreturn]] void ImpostazioneIlleggibile(std::string_view applicazione, std::string_view sezione,
                                          std::string_view chiave, platform::LSTATUS codice) {
  throw Errore(kErroreAccessoPercorso, "Impossibile leggere l'impostazione " +
                                           std::string(applicazione) + "\\" + std::string(sezione) +
                                           "\\" + std::string(chiave) + " (errore del registro " +
                                           std::to_string(codice) + ")");
}

}  // namespace

std::string GetSetting(std::string_view applicazione, std::string_view sezione,
                       std::string_view chiave, std::string_view predefinito) {
  if (applicazione.empty() || sezione.empty()) {
    throw Errore(kChiamataNonValida, "Chiamata di routine o argomento non validi");
  }
  const std::string percorso =
      std::string(kRamoImpostazioni) + std::string(applicazione) + "\\" + std::string(sezione);
  ChiaveImpostazioni k;
  platform::LSTATUS r = platform::RegOpenKeyEx(platform::HKEY_CURRENT_USER, percorso, 0,
                                               platform::KEY_QUERY_VALUE, k.H());
  if (r == platform::ERROR_FILE_NOT_FOUND) return std::string(predefinito);
  if (r != platform::ERROR_SUCCESS) ImpostazioneIlleggibile(applicazione, sezione, chiave, r);
  std::uint32_t tipo = platform::REG_NONE;
  std::string dati;
  r = platform::LeggiValoreRegistro(k.H(), chiave, tipo, dati);
  if (r == platform::ERROR_FILE_NOT_FOUND ||
      (r == platform::ERROR_SUCCESS && tipo != platform::REG_SZ)) {
    return std::string(predefinito);
  }
  if (r != platform::ERROR_SUCCESS) ImpostazioneIlleggibile(applicazione, sezione, chiave, r);
  return dati.substr(0, dati.find('\0'));
}

DatiUtente GetUtente() {
  // The ten settings in the order they are read, each into its own field.
  static constexpr std::array<std::pair<std::string DatiUtente::*, std::string_view>, 10> kCampi{{
      {&DatiUtente::Server, "Server"},
      {&DatiUtente::UserId, "UserId"},
      {&DatiUtente::PassXx, "PassXx"},
      {&DatiUtente::Tarvik, "Tarvik"},
      {&DatiUtente::CodAzi, "CodAzi"},
      {&DatiUtente::DesAzi, "DesAzi"},
      {&DatiUtente::PercXx, "PercXx"},
      {&DatiUtente::Remoto, "Remoto"},
      {&DatiUtente::DataXx, "DataXx"},
      {&DatiUtente::PercorsoDatiRelativoServer, "PercorsoDatiRelativoServer"},
  }};
  DatiUtente d;
  // The fields read before a failure keep their values.
  Routine(kModulo, "GetUtente", [&](int& linea) {
    for (std::size_t i = 0; i < kCampi.size(); ++i) {
      linea = static_cast<int>(10 * (i + 1));
      d.*kCampi[i].first = GetSetting("TARVIKX", "Utente", kCampi[i].second);
    }
    linea = 110;
    std::string raddoppiata;
    for (const char c : d.DesAzi) {
      raddoppiata += c;
      if (c == '&') raddoppiata += '&';
    }
    d.DesAzi = std::move(raddoppiata);
  });
  return d;
}

void BrowserUrl(const std::string& Url) {
  bool avviato = false;
  Tacitamente([&] { avviato = platform::ApriNelBrowser(Url); });
  if (!avviato) {
    Tacitamente([] {
      platform::MsgBox("Impossibile avviare Internet Explorer",
                       platform::vbCritical + platform::vbOKOnly, "Avviso");
    });
  }
}

}  // namespace orvane
