#include "quomaro/Recordset.h"

#include <gmock/gmock.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace quomaro {
namespace {

using ::testing::HasSubstr;
using V = std::vector<std::string>;

// The service file list as the data-access layer persists it.
const std::string kElenco = R"(<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'
	xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'
	xmlns:rs='urn:schemas-microsoft-com:rowset'
	xmlns:z='#RowsetSchema'>
<s:Schema id='RowsetSchema'>
	<s:ElementType name='row' content='eltOnly' rs:updatable='true'>
		<s:AttributeType name='dataxx' rs:number='1' rs:nullable='true'>
			<s:datatype dt:type='dateTime' rs:dbtype='timestamp' dt:maxLength='16'/>
		</s:AttributeType>
		<s:AttributeType name='codice' rs:number='2'>
			<s:datatype dt:type='int' dt:maxLength='4' rs:fixedlength='true'/>
		</s:AttributeType>
		<s:AttributeType name='progra' rs:number='3'><s:datatype dt:type='string'/></s:AttributeType>
		<s:AttributeType name='Filexx' rs:number='5'><s:datatype dt:type='string'/></s:AttributeType>
		<s:AttributeType name='dimens' rs:number='6'><s:datatype dt:type='i4'/></s:AttributeType>
		<s:AttributeType name='notexx' rs:number='7'><s:datatype dt:type='string'/></s:AttributeType>
		<s:extends type='rs:rowbase'/>
	</s:ElementType>
</s:Schema>
<rs:data>
	<z:row dataxx='2008-03-05T14:30:00' codice='42' progra='TARVIK'
		Filexx='Nuove stampe &amp; fatture' dimens='1600' notexx='Prima riga&#xD;&#xA;seconda riga'/>
	<z:row dataxx='2008-01-10T09:00:00' codice='7' progra='SELVOR' Filexx='Motore comune'/>
</rs:data>
</xml>)";
const std::string kInizio = kElenco.substr(0, kElenco.find("<rs:data>"));

std::string SostituisciTutti(std::string testo, const std::string& da, const std::string& a) {
  for (auto p = testo.find(da); p != std::string::npos; p = testo.find(da, p + a.size()))
    testo.replace(p, da.size(), a);
  return testo;
}

V Colonna(Recordset& rs, const std::string& nome) {
  V testi;
  for (rs.MoveFirst(); !rs.EOF_(); rs.MoveNext())
    testi.push_back(rs.Campo(nome).Testo());
  return testi;
}

TEST(RecordsetTest, ReadsThePersistedFileListWithFieldsByNameWhateverTheCaseOrPrefixes) {
  Recordset rs;
  ASSERT_TRUE(rs.Apri(kElenco));
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.Campo("DATAXX").Data(), (DataOra{2008, 3, 5, 14, 30, 0, 0}));
  EXPECT_EQ(rs.Campo("codice").Intero(), 42);
  EXPECT_EQ(rs.Campo("dimens").Numero(), 1600.0);
  EXPECT_EQ(rs.Campo("Filexx").Testo(), "Nuove stampe & fatture");
  EXPECT_EQ(rs.Campo("notexx").Testo(), "Prima riga\r\nseconda riga");
  EXPECT_THROW((void)rs.Campo("inesistente"), std::out_of_range);
  rs.MoveNext();
  EXPECT_TRUE(rs.Campo("notexx").Nullo());
  EXPECT_EQ(rs.Campo(std::size_t{1}).Intero(), 7);
  rs.MoveNext();
  rs.MoveNext();  // moving on from the end stays at the end
  EXPECT_TRUE(rs.EOF_());
  EXPECT_THROW((void)rs.Campo("codice"), std::out_of_range);

  // Without rows it is open, at both ends.
  ASSERT_TRUE(rs.Apri(kInizio + "<rs:data/></xml>"));
  EXPECT_TRUE(rs.State() == Recordset::adStateOpen && rs.BOF() && rs.EOF_());
  rs.Filter("progra='TARVIK'");
  EXPECT_TRUE(rs.EOF_());

  // Namespaces are recognised by their URI, whatever their prefix.
  std::string altriPrefissi = kElenco;
  for (const auto& [da, a] :
       std::vector<std::pair<std::string, std::string>>{{"xmlns:s=", "xmlns:sc="},
                                                        {"<s:", "<sc:"},
                                                        {"</s:", "</sc:"},
                                                        {"xmlns:z=", "xmlns:riga="},
                                                        {"<z:row", "<riga:row"},
                                                        {"dt:", "tipi:"},
                                                        {"xmlns:dt=", "xmlns:tipi="}})
    altriPrefissi = SostituisciTutti(altriPrefissi, da, a);
  ASSERT_TRUE(rs.Apri(altriPrefissi)) << altriPrefissi;
  EXPECT_EQ(rs.Campo("codice").Intero(), 42);

  // The usual prefixes bound to other URIs are not the format.
  EXPECT_FALSE(rs.Apri(SostituisciTutti(kElenco, "#RowsetSchema", "#AltroSchema")));
}

TEST(RecordsetTest, EveryTypeKeepsItsFamilyItsValueNullAndEmptyTextThroughSaveAndReopen) {
  struct Caso {
    const char* tipo;
    const char* testo;
    TipoCampo famiglia;
    const char* riletto = nullptr;  // when the text changes
  };
  const std::vector<Caso> casi{
      {"string", "a<b>&\"c'\r\n\tè", TipoCampo::Testo},
      {"i8", "-9223372036854775808", TipoCampo::Intero},
      {"ui1", "255", TipoCampo::Intero},
      {"UI8", "64", TipoCampo::Intero},
      {"int", "1", TipoCampo::Intero},
      {"r8", "1.5e-7", TipoCampo::Decimale},
      {"number", "12.50", TipoCampo::Decimale},
      {"fixed.14.4", "5.25", TipoCampo::Decimale},
      {"boolean", "1", TipoCampo::Booleano, "True"},
      {"date", "2008-03-05", TipoCampo::DataOra},
      {"time", "14:30:05", TipoCampo::DataOra},
      {"dateTime", "2008-03-05T14:30:00.25", TipoCampo::DataOra},
      {"dateTime.tz", "2008-03-05T14:30:00", TipoCampo::DataOra},
      {"uuid", "{4DFC3EDC-A156-4701-BC2B-E5951A2B3C39}", TipoCampo::Testo},
      {"bin.hex", "00ff10", TipoCampo::Testo},
      {"tipoStrano", "qualsiasi", TipoCampo::Testo},
  };
  std::vector<quomaro::Colonna> colonne;
  std::vector<std::optional<std::string>> valori;
  for (std::size_t i = 0; i < casi.size(); ++i) {
    colonne.push_back({"c" + std::to_string(i), casi[i].tipo});
    valori.emplace_back(casi[i].testo);
  }
  Recordset rs;
  rs.Crea(colonne);
  rs.AggiungiRiga(valori);
  valori.assign(casi.size(), std::nullopt);
  valori.back() = "";
  rs.AggiungiRiga(valori);
  const std::string salvato = rs.Save();

  Recordset letto;
  ASSERT_TRUE(letto.Apri(salvato)) << salvato;
  EXPECT_EQ(letto.Save(), salvato);
  for (std::size_t i = 0; i < casi.size(); ++i) {
    SCOPED_TRACE(casi[i].tipo);
    const Valore v = letto.Campo(i);
    EXPECT_EQ(v.Tipo(), casi[i].famiglia);
    EXPECT_TRUE(v.Conforme());
    EXPECT_EQ(v.Testo(), casi[i].riletto ? casi[i].riletto : casi[i].testo);
  }
  EXPECT_EQ(letto.Campo("c1").Intero(), INT64_MIN);
  EXPECT_EQ(letto.Campo("c2").Intero(), 255);
  EXPECT_DOUBLE_EQ(*letto.Campo("c5").Numero(), 1.5e-7);
  EXPECT_EQ(letto.Campo("c8").Booleano(), true);
  EXPECT_EQ(letto.Campo("c9").Data(), (DataOra{2008, 3, 5, 0, 0, 0, 0}));
  EXPECT_EQ(letto.Campo("c10").Data(), (DataOra{0, 0, 0, 14, 30, 5, 0}));
  EXPECT_EQ(letto.Campo("c11").Data(), (DataOra{2008, 3, 5, 14, 30, 0, 250000000}));
  letto.MoveNext();
  for (std::size_t i = 0; i < casi.size(); ++i)
    EXPECT_EQ(letto.Campo(i).Nullo(), i + 1 < casi.size()) << i;
}

TEST(RecordsetTest, EncodedColumnNamesAreReadAndWrittenWithTheirRealName) {
  const std::string codificato = SostituisciTutti(
      SostituisciTutti(kElenco, "name='Filexx'", "name='c4' rs:name='File xx'"), "Filexx=", "c4=");
  Recordset rs;
  ASSERT_TRUE(rs.Apri(codificato));
  EXPECT_EQ(rs.Campo("file XX").Testo(), "Nuove stampe & fatture");
  EXPECT_FALSE(rs.EsisteCampo("c4"));

  rs.Crea({{"Nome cliente", "string"}, {"1a", "int"}, {"c0", "string"}});
  rs.AggiungiRiga({"Rossi", "3", "x"});
  const std::string salvato = rs.Save();
  EXPECT_THAT(salvato, HasSubstr("rs:name=\"Nome cliente\"")) << salvato;
  ASSERT_TRUE(rs.Apri(salvato));
  EXPECT_EQ(rs.Campo("nome cliente").Testo(), "Rossi");
  EXPECT_EQ(rs.Campo("1A").Intero(), 3);
  EXPECT_EQ(rs.Campo("c0").Testo(), "x");
}

TEST(RecordsetTest, ValuesThatDoNotReadAsTheirTypeAreKeptAsText) {
  std::string strano = SostituisciTutti(kElenco, "codice='42'", "codice='quarantadue'");
  strano = SostituisciTutti(strano, "'2008-01-10T09:00:00'", "'2008-02-30T09:00:00'");
  Recordset rs;
  ASSERT_TRUE(rs.Apri(strano));
  EXPECT_FALSE(rs.Campo("codice").Conforme());
  EXPECT_FALSE(rs.Campo("codice").Nullo());
  EXPECT_EQ(rs.Campo("codice").Intero(), std::nullopt);
  rs.MoveNext();
  EXPECT_EQ(rs.Campo("dataxx").Data(), std::nullopt);
  EXPECT_EQ(rs.Campo("dataxx").Testo(), "2008-02-30T09:00:00");
  rs.Sort("codice DESC, dataxx");  // sorting mixed values is no failure either
  EXPECT_EQ(Colonna(rs, "codice"), (V{"quarantadue", "7"}));
}

TEST(RecordsetTest, AnswersThatAreNoRecordsetLeaveItClosed) {
  std::string annidati;
  for (int i = 0; i < 200000; ++i)
    annidati += "<a>";
  // Small answers that would cost without bound: empty rows that each hold
  // every column (1,000,002 values), columns, namespace declarations.
  std::string righeVuote;
  for (int i = 0; i < 166'667; ++i)
    righeVuote += "<z:row/>";
  std::string colonne;
  for (int i = 0; i < 251; ++i)
    colonne += "<s:AttributeType name='c" + std::to_string(i) + "'/>";
  std::string dichiarazioni;
  for (int i = 0; i < 61; ++i)
    dichiarazioni += " xmlns:p" + std::to_string(i) + "='u'";
  const std::vector<std::string> casi{
      "",
      "Utente non abilitato al servizio",
      "<html><body>Errore</body></html>",
      "<xml/>",
      kElenco.substr(0, kElenco.size() - 20),                               // truncated
      kInizio + "</xml>",                                                   // no rs:data
      kInizio + "<rs:data><z:row codice='1' altro='2'/></rs:data></xml>",   // unknown column
      kInizio + "<rs:data><z:row codice='1' codice='2'/></rs:data></xml>",  // repeated
      kInizio + "<rs:data><z:row codice='1' q:x='2'/></rs:data></xml>",     // unbound prefix
      SostituisciTutti(kElenco, "id='RowsetSchema'", "id='X'"),
      // Two columns found by the same name: the second could never be read.
      SostituisciTutti(kElenco, "<s:AttributeType name='progra'",
                       "<s:AttributeType name='CODICE' rs:number='9'/><s:AttributeType "
                       "name='progra'"),
      "<xml>" + annidati,
      // Not one document: a second root, or text after the root.
      kElenco + "<xml/>",
      kElenco + "resto",
      kInizio + "<rs:data><z:row codice='1'>" + annidati,
      kInizio + "<rs:data>" + righeVuote + "</rs:data></xml>",
      SostituisciTutti(kElenco, "<s:extends", colonne + "<s:extends"),
      kInizio + "<rs:data" + dichiarazioni + "><z:row codice='1'/></rs:data></xml>",
  };
  for (const auto& caso : casi) {
    SCOPED_TRACE(caso.substr(0, 80));
    Recordset rs;
    ASSERT_TRUE(rs.Apri(kElenco));
    EXPECT_FALSE(rs.Apri(caso));
    EXPECT_EQ(rs.State(), Recordset::adStateClosed);
    EXPECT_TRUE(rs.BOF() && rs.EOF_());
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_THROW((void)rs.Campo("codice"), std::logic_error);
  }
}

// Packages of several programs; dates in both the T and the blank form, so
// that text order and date order differ.
Recordset Pacchetti() {
  Recordset rs;
  rs.Crea({{"dataxx", "dateTime"}, {"codice", "int"}, {"progra", "string"}, {"notexx", "string"}});
  rs.AggiungiRiga({"2008-03-05T14:30:00", "10", "TARVIK", "b"});
  rs.AggiungiRiga({"2008-01-10T09:00:00", "9", "SELVOR", std::nullopt});
  rs.AggiungiRiga({"2008-03-05T14:30:00", "100", "tarvik", "a"});
  rs.AggiungiRiga({"2008-03-05T09:00:00", "11", "PANELAA", "O'Brien"});
  rs.AggiungiRiga({"2008-03-05T14:30:00", "12", "TARVIK", "c"});
  Recordset letto;  // read back, so that the blank form stays as persisted
  EXPECT_TRUE(letto.Apri(SostituisciTutti(rs.Save(), "2008-03-05T14:30:00\" codice=\"100\"",
                                          "2008-03-05 14:30:00\" codice=\"100\"")));
  return letto;
}

// A sort compares dates, numbers and texts by their type, stably, with null
// first.
TEST(RecordsetOrdineTest, SortAndFilterByTypedCriteriaAndRefuseBadOnes) {
  Recordset rs = Pacchetti();
  for (const auto& [criterio, attesi] : std::vector<std::pair<std::string, V>>{
           {"dataxx ASC", {"9", "11", "10", "100", "12"}},
           {"dataxx DESC", {"10", "100", "12", "11", "9"}},
           {"", {"10", "9", "100", "11", "12"}},
           {"codice", {"9", "10", "11", "12", "100"}},
           {"[progra] desc, codice DESC", {"100", "12", "10", "9", "11"}},
           {"notexx", {"9", "100", "10", "12", "11"}}}) {
    rs.Sort(criterio);
    EXPECT_EQ(Colonna(rs, "codice"), attesi) << criterio;
  }

  // A filter combines typed clauses with AND, OR and parentheses.
  rs.Sort("dataxx ASC");
  for (const auto& [criterio, attesi] : std::vector<std::pair<std::string, V>>{
           {"progra='TARVIK'", {"10", "100", "12"}},
           {"progra='NESSUNO'", {}},
           {"", {"9", "11", "10", "100", "12"}},
           {"codice > 9 AND codice < 100", {"11", "10", "12"}},
           {"progra = 'SELVOR' OR progra='PANELAA' AND codice >= 11", {"9", "11"}},
           {"(progra = 'SELVOR' OR progra='PANELAA') AND codice >= 11", {"11"}},
           {"dataxx < #2008-03-05T14:00:00#", {"9", "11"}},
           {"dataxx = '2008-03-05T14:30:00'", {"10", "100", "12"}},
           {"notexx = NULL", {"9"}},
           {"notexx <> NULL AND notexx <> 'b'", {"11", "100", "12"}},
           {"notexx = 'o''brien'", {"11"}},
           {"progra LIKE 'PANEL*'", {"11"}},
           {"progra LIKE '%VOR'", {"9"}}}) {
    rs.Filter(criterio);
    EXPECT_EQ(rs.RecordCount(), static_cast<long>(attesi.size())) << criterio;
    EXPECT_EQ(Colonna(rs, "codice"), attesi) << criterio;
  }

  // A bad sort or filter is refused and keeps the one in force.
  rs.Sort("codice DESC");
  for (const char* criterio : {"sconosciuta", "codice,"})
    EXPECT_THROW(rs.Sort(criterio), std::invalid_argument) << criterio;
  EXPECT_EQ(rs.Sort(), "codice DESC");

  rs.Filter("progra='SELVOR'");
  for (const std::string& criterio :
       V{"sconosciuta='x'", "progra=", "progra='x", "codice = 'dieci'", "dataxx > 'ieri'",
         "codice < NULL", "progra='x' AND", "progra='x' progra='y'", "progra ! 'x'",
         std::string(10000, '(') + "codice=1"}) {
    EXPECT_THROW(rs.Filter(criterio), std::invalid_argument) << criterio.substr(0, 40);
  }
  EXPECT_EQ(rs.Filter(), "progra='SELVOR'");
  EXPECT_EQ(Colonna(rs, "codice"), (V{"9"}));
}

}  // namespace
}  // namespace quomaro
