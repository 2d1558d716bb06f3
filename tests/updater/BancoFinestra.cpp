#include "BancoFinestra.h"

#include <algorithm>

#include "platform/Cartelle.h"
#include "platform/Percorsi.h"
#include "platform/PompaMessaggi.h"
#include "quomaro/Host.h"
#include "tests/support/TervanFiglio.h"

namespace tervan::test {

quomaro::Recordset ElencoFileVuoto(const char* tipoDimensione) {
  quomaro::Recordset rs;
  rs.Crea({{"dataxx", "dateTime"},
           {"codice", "int"},
           {"progra"},
           {"TipoXx"},
           {"Filexx"},
           {"dimens", tipoDimensione},
           {"notexx"}});
  return rs;
}

std::vector<std::string> Contenuto(const std::filesystem::path& cartella) {
  std::vector<std::string> nomi;
  if (!std::filesystem::is_directory(cartella)) return nomi;
  for (const auto& voce : std::filesystem::directory_iterator(cartella))
    nomi.push_back(voce.path().filename().string());
  std::sort(nomi.begin(), nomi.end());
  return nomi;
}

void InstallaTarvik() {
  std::filesystem::create_directories(platform::PercorsoLocale(R"(C:\ORVANE\TARVIK\DATI)"));
  orvane::test::Impostazione(R"(TARVIKX\Utente)", "PercXx", R"(C:\ORVANE\TARVIK\DATI)");
  orvane::test::Impostazione(R"(TARVIKX\Licenza)", "codcli", "ROSSI");
}

void ConPompa(const std::function<void()>& pompa, const std::function<void()>& azione) {
  // The pumps go back to none even when `azione` throws, so that a failed
  // case leaves nothing to the next one.
  struct Ripristino {
    ~Ripristino() {
      platform::ImpostaPompaMessaggi({});
      quomaro::ImpostaPompaMessaggi({});
    }
  };
  platform::ImpostaPompaMessaggi(pompa);
  quomaro::ImpostaPompaMessaggi(pompa);
  const Ripristino ripristino;
  azione();
}

BancoFinestra::BancoFinestra() {
  const auto programma = macchina.Percorso() / "programma";
  std::filesystem::create_directories(programma);
  std::filesystem::copy_file(ORVANE_TERVAN_MDB, programma / "Tervan.mdb");
  platform::ImpostaCartellaProgramma(programma);
  stato.Archivio = std::make_unique<envAggior>(programma);
  stato.rsAGGIOR = stato.Archivio->rsAGGIOR();
  stato.VerificaCompleta = true;
  elenco.ImpostaGriglia();
}

BancoFinestra::~BancoFinestra() {
  platform::ImpostaCartellaProgramma(std::nullopt);
}

void BancoFinestra::Programma(const std::string& softxx, const std::string& userid,
                              const std::string& FreQue, const std::string& ultima,
                              const std::string& PercXx) {
  RecordsetLocale& rs = *stato.rsAGGIOR;
  if (rs.State() == 0) rs.Open();
  rs.AddNew();
  rs.Campo("softxx", softxx);
  rs.Campo("userid", userid);
  rs.Campo("FreQue", FreQue);
  rs.Campo("ultima", ultima);
  rs.Campo("PercXx", PercXx);
  rs.Campo("downld", "05/03/08");
  rs.Update();
}

std::string BancoFinestra::Ultima(const std::string& softxx) {
  envAggior archivio(platform::CartellaProgramma());
  RecordsetLocale& rs = *archivio.rsAGGIOR();
  rs.Filter("softxx='" + softxx + "'");
  return rs.Eof() ? "<nessuna riga>" : rs.Campo("ultima");
}

std::vector<std::string> BancoFinestra::Elencati() const {
  std::vector<std::string> elencati;
  for (int r = 1; r <= elenco.Righe(); r += 2) {
    elencati.push_back(elenco.Testo(r, ElencoAggiornamenti::kCodice) + "/" +
                       elenco.Testo(r, ElencoAggiornamenti::kProgramma));
  }
  return elencati;
}

}  // namespace tervan::test
