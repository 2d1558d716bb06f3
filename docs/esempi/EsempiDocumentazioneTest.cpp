// The manual's C++ samples: each page shows exactly the text of its sample
// file, and the samples do what the pages say.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QWidget>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Esempi.h"
#include "brisko/xpVantelTab.h"
#include "tests/support/MacchinaFinta.h"

namespace {

namespace fs = std::filesystem;

const fs::path kDocs = ORVANE_DOCS_DIR;

std::vector<std::string> Righe(const fs::path& file) {
  std::ifstream ingresso(file);
  std::vector<std::string> righe;
  for (std::string riga; std::getline(ingresso, riga);)
    righe.push_back(riga);
  return righe;
}

std::string Unisci(const std::vector<std::string>& righe) {
  std::string testo;
  for (const auto& riga : righe)
    testo += riga + "\n";
  return testo;
}

// The lines of a sample file between "// [esempio NOME]" and the next
// "// [fine esempio]", less the indentation of the opening marker.
std::string Regione(const fs::path& file, const std::string& nome) {
  const auto righe = Righe(file);
  const std::string apertura = "// [esempio " + nome + "]";
  for (std::size_t i = 0; i < righe.size(); ++i) {
    const auto posizione = righe[i].find(apertura);
    if (posizione == std::string::npos || righe[i].find_first_not_of(' ') != posizione) continue;
    std::vector<std::string> regione;
    for (std::size_t j = i + 1; j < righe.size(); ++j) {
      if (righe[j].find("// [fine esempio]") != std::string::npos) return Unisci(regione);
      regione.push_back(righe[j].substr(std::min(posizione, righe[j].find_first_not_of(' '))));
    }
  }
  return "(nessuna regione " + nome + " in " + file.string() + ")\n";
}

struct BloccoPagina {
  fs::path pagina;
  std::size_t riga = 0;
  std::string file;  // empty: a C++ block with no sample file named before it
  std::string regione;
  std::string testo;
};

// Every C++ block of the manual's pages, with the sample named by the
// marker "<!-- esempio: FILE REGIONE -->" on the line before its fence.
std::vector<BloccoPagina> BlocchiCpp() {
  const std::regex marcatore(R"(<!-- esempio: (\S+) (\S+) -->)");
  std::vector<fs::path> pagine{kDocs.parent_path() / "README.md"};
  for (const auto& voce : fs::directory_iterator(kDocs)) {
    if (voce.path().extension() == ".md") pagine.push_back(voce.path());
  }
  std::vector<BloccoPagina> blocchi;
  for (const auto& pagina : pagine) {
    const auto righe = Righe(pagina);
    for (std::size_t i = 0; i < righe.size(); ++i) {
      if (righe[i] != "```cpp") continue;
      BloccoPagina blocco;
      blocco.pagina = pagina;
      blocco.riga = i + 1;
      std::smatch m;
      if (i > 0 && std::regex_match(righe[i - 1], m, marcatore)) {
        blocco.file = m[1];
        blocco.regione = m[2];
      }
      std::vector<std::string> testo;
      for (++i; i < righe.size() && righe[i] != "```"; ++i)
        testo.push_back(righe[i]);
      blocco.testo = Unisci(testo);
      blocchi.push_back(blocco);
    }
  }
  return blocchi;
}

TEST(EsempiDocumentazione, OgniBloccoCppDelManualeECopiaDelSuoFileDiEsempio) {
  const auto blocchi = BlocchiCpp();
  ASSERT_FALSE(blocchi.empty());
  for (const auto& b : blocchi) {
    SCOPED_TRACE(b.pagina.string() + ":" + std::to_string(b.riga));
    ASSERT_FALSE(b.file.empty()) << "a C++ block needs <!-- esempio: FILE REGIONE --> before it";
    EXPECT_EQ(b.testo, Regione(kDocs / b.file, b.regione));
  }
}

TEST(EsempiDocumentazione, LaStrisciaDiSchedeMostraLaPaginaScelta_ESalvaLoStato) {
  QWidget finestra;
  auto* tab = esempi::OspitaSchede(&finestra);
  tab->SetSelectedTab(2);
  EXPECT_EQ(esempi::PaginaMostrata(), 2);

  std::string modello = (fs::temp_directory_path() / "esempi-XXXXXX").string();
  ASSERT_NE(::mkdtemp(modello.data()), nullptr);
  const fs::path file = fs::path(modello) / "schede.ini";
  esempi::SalvaSchede(*tab, file);
  std::ifstream salvato(file);
  const std::string testo{std::istreambuf_iterator<char>(salvato), {}};
  fs::remove_all(modello);
  EXPECT_NE(testo.find("TabText2=&Note"), std::string::npos) << testo;
  EXPECT_NE(testo.find("SelectedTab=2"), std::string::npos) << testo;
}

// What architettura.md says of its routine: the result, or 0 with the
// failure logged at the statement it reached.
TEST(EsempiDocumentazione, LaRoutineRestituisceIlRisultatoVuotoERegistraIlPassoRaggiunto) {
  orvane::test::MacchinaFinta macchina;
  EXPECT_EQ(esempi::MinutiDiControllo("15"), 15);
  EXPECT_EQ(orvane::test::MacchinaFinta::Log(), "");
  const struct {
    const char* testo;
    const char* linea;
  } kCasi[] = {{"quindici", "10"}, {"-5", "20"}};
  for (const auto& c : kCasi) {
    SCOPED_TRACE(c.testo);
    const auto prima = orvane::test::RecordNelLog(orvane::test::MacchinaFinta::Log());
    EXPECT_EQ(esempi::MinutiDiControllo(c.testo), 0);
    const std::string log = orvane::test::MacchinaFinta::Log();
    EXPECT_EQ(orvane::test::RecordNelLog(log), prima + 1);
    const std::string linea = " Linea di codice : ";
    const auto ultima = log.rfind(linea);
    ASSERT_NE(ultima, std::string::npos) << log;
    EXPECT_EQ(log.substr(ultima + linea.size(), 2), c.linea) << log;
  }
}

}  // namespace
