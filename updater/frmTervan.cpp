#include "updater/frmTervan.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "common/Errore.h"
#include "common/Routine.h"
#include "common/basFunzioniRegistro.h"
#include "platform/Cartelle.h"
#include "platform/Percorsi.h"
#include "platform/RigaDiComando.h"
#include "platform/TestoSql.h"
#include "platform/TestoUtf8.h"
#include "quomaro/Configurazione.h"
#include "updater/basRegSvr.h"

namespace tervan {
namespace {

// Where the maker's programs are installed, and where they keep the
// settings that discovery reads.
constexpr std::string_view kCartellaTarvik = R"(C:\ORVANE\TARVIK)";
constexpr std::string_view kCartellaMorlen = R"(C:\ORVANE\MORLEN)";
constexpr std::string_view kCartellaMorlenProgrammi = R"(C:\PROGRAMMI\MORLEN)";
constexpr std::string_view kCartellaSelvor = R"(C:\ORVANE\SELVOR)";
constexpr std::string_view kChiaveKovra =
    R"(HKEY_CURRENT_USER\Software\VB and VBA Program Settings\Orvane\Kovra)";
constexpr std::string_view kChiaveVestrum =
    R"(HKEY_CURRENT_USER\Software\VB and VBA Program Settings\Vuldra\Vestrum)";

// The five modules of the property-management program, in the order their
// rows are written.
constexpr std::array<std::string_view, 5> kModuliMorlen{"PANELAA", "PANELAB", "PANELAD", "PANELAC",
                                                        "PANELAE"};

// Every row a pass writes starts again from this check interval.
constexpr std::string_view kFrequenzaIniziale = "00:00:30";

// Drops the pending change of a view when it goes, unless it was saved.
class ModificaInSospeso {
 public:
  explicit ModificaInSospeso(RecordsetLocale& rs) : rs_(rs) {}
  ~ModificaInSospeso() {
    if (!salvata_) orvane::Tacitamente([this] { rs_.CancelUpdate(); });
  }
  ModificaInSospeso(const ModificaInSospeso&) = delete;
  ModificaInSospeso& operator=(const ModificaInSospeso&) = delete;
  void Salvata() noexcept { salvata_ = true; }

 private:
  RecordsetLocale& rs_;
  bool salvata_ = false;
};

bool CartellaEsiste(std::string_view percorso) {
  // A folder that cannot be examined is a failure of the pass, not a missing program.
  return std::filesystem::is_directory(platform::PercorsoLocale(percorso));
}

std::string LeggiStringa(std::string_view chiave, std::string_view nome) {
  std::string valore;
  (void)orvane::LeggiChiaveStringa(std::string(chiave), std::string(nome), valore, "");
  return valore;
}

}  // namespace

frmTervan::frmTervan() {
  setObjectName("frmTervan");
  setWindowTitle(QString::fromUtf8(kTitolo));
}

frmTervan::~frmTervan() = default;

void frmTervan::Form_Load() {
  orvane::Routine("frmTervan", "Form_Load", [&](int& linea) {
    linea = 10;
    VerificaCompleta = false;
    linea = 20;
    (void)RegServer((platform::CartellaProgramma() / "msderun.dll").string(), true);
    linea = 30;
    Archivio = std::make_unique<envAggior>(platform::CartellaProgramma());
    rsAGGIOR = Archivio->rsAGGIOR();
    linea = 40;
    VerificaProgrammiInstallati();
    linea = 50;
    // Started at log-on the program stays out of sight; otherwise it shows.
    const std::string riga = platform::RigaDiComando();
    const bool verifica = platform::SenzaCaratteriSpazioAiLati(riga) == "VERIFICA";
    if (!verifica) show();
  });
}

void frmTervan::ScriviRiga(const std::string& softxx, const std::string& PercXx,
                           const std::string& Server, const std::string& Filexx,
                           const std::string& userid) {
  RecordsetLocale& rs = *rsAGGIOR;
  rs.Filter("softxx=" + platform::LetteraleSql(softxx));
  if (rs.Eof()) rs.AddNew();
  // A change the store refuses is dropped with the failure, so the view is
  // clean for the next pass instead of retrying the same save for ever.
  ModificaInSospeso modifica(rs);
  rs.Campo("softxx", softxx);
  rs.Campo("indiri", quomaro::EndpointServizio());
  rs.Campo("PercXx", PercXx);
  rs.Campo("Server", Server);
  rs.Campo("FreQue", std::string(kFrequenzaIniziale));
  rs.Campo("Filexx", Filexx);
  rs.Campo("userid", userid);
  if (rs.Campo("userid").empty()) {
    // A program without a customer identifier cannot be checked: keep what
    // the store had and try again at the next pass.
    VerificaCompleta = false;
    return;
  }
  rs.Update();
  modifica.Salvata();
}

void frmTervan::VerificaProgrammiInstallati() {
  bool completata = false;
  orvane::Routine("frmTervan", "VerificaProgrammiInstallati", [&](int& linea) {
    linea = 10;
    VerificaCompleta = true;
    if (!rsAGGIOR)
      throw orvane::Errore(orvane::kOggettoNonImpostato, "Variabile oggetto non impostata");

    linea = 20;
    if (CartellaEsiste(kCartellaTarvik)) {
      linea = 30;
      DatiUtente = orvane::GetUtente();
      const std::string codcli = orvane::GetSetting("TARVIKX", "Licenza", "codcli");
      ScriviRiga("TARVIK", DatiUtente.PercXx, DatiUtente.Server, "Farsel.exe", codcli);
    } else {
      linea = 40;
      Archivio->conAggior().Execute(istruzioni::kCancellaTarvik);
    }

    linea = 50;
    if (!CartellaEsiste(kCartellaMorlen) && !CartellaEsiste(kCartellaMorlenProgrammi)) {
      linea = 60;
      Archivio->conAggior().Execute(istruzioni::kCancellaModuliMorlen);
    } else {
      linea = 70;
      const std::string driveArch = LeggiStringa(kChiaveKovra, "DRIVE_ARCH");
      const std::string codcli = LeggiStringa(kChiaveKovra, "codcli");
      for (const std::string_view modulo : kModuliMorlen) {
        ScriviRiga(std::string(modulo), driveArch + "\\morlen", "", "Farsel.exe", codcli);
      }
    }

    linea = 80;
    if (!CartellaEsiste(kCartellaSelvor)) {
      linea = 90;
      Archivio->conAggior().Execute(istruzioni::kCancellaSelvor);
    } else {
      linea = 100;
      const std::string nomexx = LeggiStringa(kChiaveVestrum, "nomexx");
      const std::string datixx = orvane::GetSetting("Vuldra", "Vestrum", "datixx");
      const std::string server = orvane::GetSetting("Vuldra", "Vestrum", "Server");
      ScriviRiga("SELVOR", datixx, server, "Ploduk.exe", nomexx);
    }

    linea = 110;
    rsAGGIOR->Filter("");
    completata = true;
  });
  if (!completata) VerificaCompleta = false;
}

}  // namespace tervan
