#include "tests/support/TervanFiglio.h"

#include <sys/stat.h>

#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "platform/Collocazione.h"
#include "platform/Percorsi.h"
#include "platform/Registro.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"

namespace orvane::test {

namespace fs = std::filesystem;

TervanFiglio::TervanFiglio(fs::path cartella) : cartella_(std::move(cartella)) {
  fs::create_directories(cartella_);
  // An installed program folder: the user's own and writable by nobody
  // else, whatever the umask of whoever runs the tests (one that lets the
  // group write would send the store and the log to the state folder).
  fs::permissions(cartella_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
  for (const char* nome : {"Tervan", "Quomaro.so", "brisko.so"})
    fs::copy_file(fs::path(ORVANE_PROGRAM_DIR) / nome, cartella_ / nome);
  fs::copy_file(ORVANE_TERVAN_MDB, cartella_ / "Tervan.mdb");
}

fs::path TervanFiglio::FileBlocco() const {
  return platform::PreparaPostoFile(platform::FileSistema::BloccoIstanza, cartella_);
}

fs::path TervanFiglio::Uscite(int avvio) const {
  return cartella_.parent_path() /
         (cartella_.filename().string() + "-uscite" + std::to_string(avvio));
}

std::unique_ptr<Processo> TervanFiglio::Avvia(const std::vector<std::string>& argomenti,
                                              const std::map<std::string, std::string>& ambiente) {
  const fs::path uscite = Uscite(++avvii_);
  fs::create_directories(uscite);
  std::map<std::string, std::string> tutto{{"QT_QPA_PLATFORM", "offscreen"}};
  for (const auto& [nome, valore] : ambiente)
    tutto[nome] = valore;
  return std::make_unique<Processo>(cartella_ / "Tervan", argomenti, tutto, uscite);
}

std::string TervanFiglio::Uscita(int avvio) const {
  return LeggiFile(Uscite(avvio) / "stdout");
}

std::string TervanFiglio::Errori(int avvio) const {
  return LeggiFile(Uscite(avvio) / "stderr");
}

bool TervanFiglio::AttendiBlocco(Processo& tervan, std::chrono::milliseconds limite) const {
  for (auto fine = std::chrono::steady_clock::now() + limite;
       std::chrono::steady_clock::now() < fine && tervan.InEsecuzione();) {
    if (TieneBlocco(tervan.Pid())) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool TervanFiglio::TieneBlocco(pid_t pid) const {
  // Any lock file of this user's Tervans: a start given another display
  // (an X server of the test's own) names its lock after that session.
  std::set<std::string> inode;
  std::error_code ec;
  for (const auto& voce : fs::directory_iterator(FileBlocco().parent_path(), ec)) {
    const std::string nome = voce.path().filename().string();
    struct stat info {};
    if (nome.starts_with("Tervan-") && nome.ends_with(".lock") &&
        ::stat(voce.path().c_str(), &info) == 0)
      inode.insert(std::to_string(info.st_ino));
  }
  std::ifstream blocchi("/proc/locks");
  std::string riga;
  while (std::getline(blocchi, riga)) {
    std::istringstream campi(riga);
    std::string numero, tipo, modo, accesso, dispositivo;
    long proprietario = 0;
    campi >> numero >> tipo >> modo >> accesso >> proprietario >> dispositivo;
    if (tipo == "FLOCK" && proprietario == pid &&
        inode.count(dispositivo.substr(dispositivo.rfind(':') + 1)) != 0)
      return true;
  }
  return false;
}

void Impostazione(const std::string& chiave, const std::string& nome, const std::string& valore) {
  ScriviTesto(platform::HKEY_CURRENT_USER, R"(Software\VB and VBA Program Settings\)" + chiave,
              nome, valore);
}

CartelleDati InstallaProgrammi(const std::string& cliente) {
  for (const char* programma :
       {R"(C:\ORVANE\TARVIK)", R"(C:\ORVANE\MORLEN)", R"(C:\ORVANE\SELVOR)"})
    fs::create_directories(platform::PercorsoLocale(programma));
  CartelleDati dati{platform::PercorsoLocale(R"(C:\ORVANE\TARVIK\DATI)"),
                    platform::PercorsoLocale(R"(C:\ARCHIVI)") / "morlen",
                    platform::PercorsoLocale(R"(C:\SELVOR\DATI)")};
  for (const fs::path& cartella : {dati.tarvik, dati.morlen, dati.selvor})
    fs::create_directories(cartella);
  Impostazione(R"(TARVIKX\Utente)", "PercXx", R"(C:\ORVANE\TARVIK\DATI)");
  Impostazione(R"(TARVIKX\Licenza)", "codcli", cliente);
  Impostazione(R"(Orvane\Kovra)", "DRIVE_ARCH", R"(C:\ARCHIVI)");
  Impostazione(R"(Orvane\Kovra)", "codcli", cliente);
  Impostazione(R"(Vuldra\Vestrum)", "nomexx", cliente);
  Impostazione(R"(Vuldra\Vestrum)", "datixx", R"(C:\SELVOR\DATI)");
  return dati;
}

}  // namespace orvane::test
