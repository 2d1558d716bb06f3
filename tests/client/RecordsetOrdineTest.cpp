#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "quomaro/Recordset.h"

namespace quomaro {
namespace {

// Packages of several programs; dates in both the T and the blank form, so
// that text order and date order differ.
Recordset Pacchetti() {
  Recordset rs;
  rs.Crea({{"dataxx", "dateTime"}, {"codice", "int"}, {"progra", "string"}, {"notexx", "string"}});
  rs.AggiungiRiga({"2008-03-05T14:30:00", "10", "TARVIK", "b"});
  rs.AggiungiRiga({"2008-01-10T09:00:00", "9", "SELVOR", std::nullopt});
  rs.AggiungiRiga({"2008-03-05 14:30:00", "100", "tarvik", "a"});
  rs.AggiungiRiga({"2008-03-05T09:00:00", "11", "PANELAA", "O'Brien"});
  rs.AggiungiRiga({"2008-03-05T14:30:00", "12", "TARVIK", "c"});
  Recordset letto;  // read back, so that the blank form stays as persisted
  std::string xml = rs.Save();
  const auto p = xml.find("2008-03-05T14:30:00\" codice=\"100\"");
  xml.replace(p, 19, "2008-03-05 14:30:00");
  EXPECT_TRUE(letto.Apri(xml));
  return letto;
}

std::vector<std::string> Codici(Recordset& rs) {
  std::vector<std::string> codici;
  for (rs.MoveFirst(); !rs.EOF_(); rs.MoveNext())
    codici.push_back(rs.Campo("codice").Testo());
  return codici;
}

TEST(RecordsetOrdineTest, SortByDateAscendingComparesDatesAndKeepsEqualKeysInTheirOrder) {
  Recordset rs = Pacchetti();
  rs.Sort("dataxx ASC");
  EXPECT_EQ(Codici(rs), (std::vector<std::string>{"9", "11", "10", "100", "12"}));
  rs.Sort("dataxx DESC");
  EXPECT_EQ(Codici(rs), (std::vector<std::string>{"10", "100", "12", "11", "9"}));
  rs.Sort("");
  EXPECT_EQ(Codici(rs), (std::vector<std::string>{"10", "9", "100", "11", "12"}));
}

TEST(RecordsetOrdineTest, SortComparesNumbersAsNumbersTextsWithoutCaseAndPutsNullFirst) {
  Recordset rs = Pacchetti();
  rs.Sort("codice");
  EXPECT_EQ(Codici(rs), (std::vector<std::string>{"9", "10", "11", "12", "100"}));
  rs.Sort("[progra] desc, codice DESC");
  EXPECT_EQ(Codici(rs), (std::vector<std::string>{"100", "12", "10", "9", "11"}));
  rs.Sort("notexx");
  EXPECT_EQ(Codici(rs), (std::vector<std::string>{"9", "100", "10", "12", "11"}));
  EXPECT_EQ(rs.Sort(), "notexx");
}

TEST(RecordsetOrdineTest, FilterByPrograShowsOnlyThatProgramAndEmptyClearsIt) {
  Recordset rs = Pacchetti();
  rs.Sort("dataxx ASC");
  rs.Filter("progra='TARVIK'");
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_EQ(Codici(rs), (std::vector<std::string>{"10", "100", "12"}));
  rs.Filter("progra='NESSUNO'");
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_TRUE(rs.BOF());
  EXPECT_TRUE(rs.EOF_());
  rs.Filter("");
  EXPECT_EQ(rs.RecordCount(), 5);
  EXPECT_EQ(Codici(rs).front(), "9");
}

TEST(RecordsetOrdineTest, FilterCombinesTypedClausesWithAndOrAndParentheses) {
  Recordset rs = Pacchetti();
  const auto filtra = [&](const std::string& criterio) {
    rs.Filter(criterio);
    return Codici(rs);
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(filtra("codice > 9 AND codice < 100"), (V{"10", "11", "12"}));
  EXPECT_EQ(filtra("progra = 'SELVOR' OR progra='PANELAA' AND codice >= 11"), (V{"9", "11"}));
  EXPECT_EQ(filtra("(progra = 'SELVOR' OR progra='PANELAA') AND codice >= 11"), (V{"11"}));
  EXPECT_EQ(filtra("dataxx < #2008-03-05T14:00:00#"), (V{"9", "11"}));
  EXPECT_EQ(filtra("dataxx = '2008-03-05T14:30:00'"), (V{"10", "100", "12"}));
  EXPECT_EQ(filtra("notexx = NULL"), (V{"9"}));
  EXPECT_EQ(filtra("notexx <> NULL AND notexx <> 'b'"), (V{"100", "11", "12"}));
  EXPECT_EQ(filtra("notexx = 'o''brien'"), (V{"11"}));
  EXPECT_EQ(filtra("progra LIKE 'PANEL*'"), (V{"11"}));
  EXPECT_EQ(filtra("progra LIKE '%VOR'"), (V{"9"}));
}

TEST(RecordsetOrdineTest, ABadSortOrFilterIsRefusedAndKeepsTheOneInForce) {
  Recordset rs = Pacchetti();
  rs.Sort("codice DESC");
  for (const char* criterio : {"sconosciuta", "codice,"})
    EXPECT_THROW(rs.Sort(criterio), std::invalid_argument) << criterio;
  EXPECT_EQ(rs.Sort(), "codice DESC");
  EXPECT_EQ(Codici(rs).front(), "100");

  rs.Filter("progra='SELVOR'");
  std::string annidato;
  for (int i = 0; i < 10000; ++i)
    annidato += "(";
  for (const std::string& criterio :
       std::vector<std::string>{"sconosciuta='x'", "progra=", "progra='x", "codice = 'dieci'",
                                "dataxx > 'ieri'", "codice < NULL", "progra='x' AND",
                                "progra='x' progra='y'", "progra ! 'x'", annidato + "codice=1"}) {
    EXPECT_THROW(rs.Filter(criterio), std::invalid_argument) << criterio.substr(0, 40);
  }
  EXPECT_EQ(rs.Filter(), "progra='SELVOR'");
  EXPECT_EQ(Codici(rs), (std::vector<std::string>{"9"}));
}

}  // namespace
}  // namespace quomaro
