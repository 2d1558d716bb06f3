#include "quomaro/Recordset.h"

#include <gmock/gmock.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace quomaro {
namespace {

using ::testing::HasSubstr;

// The service file list as the data-access layer persists it.
const char* const kElenco = R"(<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'
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
		<s:AttributeType name='TipoXx' rs:number='4'><s:datatype dt:type='string'/></s:AttributeType>
		<s:AttributeType name='Filexx' rs:number='5'><s:datatype dt:type='string'/></s:AttributeType>
		<s:AttributeType name='dimens' rs:number='6'><s:datatype dt:type='i4'/></s:AttributeType>
		<s:AttributeType name='notexx' rs:number='7'><s:datatype dt:type='string'/></s:AttributeType>
		<s:extends type='rs:rowbase'/>
	</s:ElementType>
</s:Schema>
<rs:data>
	<z:row dataxx='2008-03-05T14:30:00' codice='42' progra='TARVIK' TipoXx='TARVIK'
		Filexx='Nuove stampe &amp; fatture' dimens='1600' notexx='Prima riga&#xD;&#xA;seconda riga'/>
	<z:row dataxx='2008-01-10T09:00:00' codice='7' progra='SELVOR' TipoXx='ORVANE'
		Filexx='Motore comune' dimens='1000'/>
</rs:data>
</xml>)";

std::string SostituisciTutti(std::string testo, const std::string& da, const std::string& a) {
  for (auto p = testo.find(da); p != std::string::npos; p = testo.find(da, p + a.size()))
    testo.replace(p, da.size(), a);
  return testo;
}

std::vector<std::string> Colonna(Recordset& rs, const std::string& nome) {
  std::vector<std::string> testi;
  for (rs.MoveFirst(); !rs.EOF_(); rs.MoveNext()) {
    const Valore v = rs.Campo(nome);
    testi.push_back(v.Nullo() ? "NULL" : v.Testo());
  }
  return testi;
}

TEST(RecordsetTest, ReadsThePersistedFileListWithTypedFieldsByNameWithoutRegardToCase) {
  Recordset rs;
  ASSERT_TRUE(rs.Apri(kElenco));
  EXPECT_EQ(rs.State(), Recordset::adStateOpen);
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_FALSE(rs.BOF());
  EXPECT_FALSE(rs.EOF_());

  EXPECT_EQ(rs.Campo("DATAXX").Data(), (DataOra{2008, 3, 5, 14, 30, 0, 0}));
  EXPECT_EQ(rs.Campo("codice").Tipo(), TipoCampo::Intero);
  EXPECT_EQ(rs.Campo("codice").Intero(), 42);
  EXPECT_EQ(rs.Campo("dimens").Numero(), 1600.0);
  EXPECT_EQ(rs.Campo("Filexx").Testo(), "Nuove stampe & fatture");
  EXPECT_EQ(rs.Campo("notexx").Testo(), "Prima riga\r\nseconda riga");
  EXPECT_THROW((void)rs.Campo("inesistente"), std::out_of_range);

  rs.MoveNext();
  EXPECT_TRUE(rs.Campo("notexx").Nullo());
  EXPECT_EQ(rs.Campo("notexx").Testo(), "");
  EXPECT_EQ(rs.Campo(std::size_t{1}).Intero(), 7);
  rs.MoveNext();
  EXPECT_TRUE(rs.EOF_());
  EXPECT_THROW((void)rs.Campo("codice"), std::out_of_range);
  rs.MoveNext();  // moving on from the end stays at the end
  EXPECT_TRUE(rs.EOF_());
  EXPECT_EQ(rs.Colonne()[0].tipo, "dateTime");
}

TEST(RecordsetTest, NamespacesAreRecognisedByUriWhateverTheirPrefix) {
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
  Recordset rs;
  ASSERT_TRUE(rs.Apri(altriPrefissi)) << altriPrefissi;
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.Campo("codice").Intero(), 42);

  // The usual prefixes bound to other URIs are not the format.
  std::string altroUri = kElenco;
  altroUri.replace(altroUri.find("#RowsetSchema"), 13, "#AltroSchema");
  EXPECT_FALSE(rs.Apri(altroUri));
}

TEST(RecordsetTest, EveryTypeNullAndEmptyTextSurviveSaveAndReopen) {
  Recordset rs;
  rs.Crea({{"testo", "string"},
           {"intero", "i8"},
           {"piccolo", "ui1"},
           {"decimale", "r8"},
           {"numero", "number"},
           {"vero", "boolean"},
           {"quando", "dateTime"},
           {"giorno", "date"},
           {"ora", "time"},
           {"id", "uuid"},
           {"dati", "bin.hex"},
           {"ignoto", "tipoStrano"}});
  rs.AggiungiRiga({"a<b>&\"c'\r\n\tè", "-9223372036854775808", "255", "1.5e-7", "12.50", "1",
                   "2008-03-05 14:30:00.25", "2008-03-05", "14:30:05",
                   "{4DFC3EDC-A156-4701-BC2B-E5951A2B3C39}", "00ff10", "qualsiasi"});
  rs.AggiungiRiga({std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                   std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                   std::nullopt, ""});
  const std::string salvato = rs.Save();

  Recordset letto;
  ASSERT_TRUE(letto.Apri(salvato)) << salvato;
  EXPECT_EQ(letto.Save(), salvato);
  ASSERT_EQ(letto.RecordCount(), 2);
  EXPECT_EQ(letto.Campo("testo").Testo(), "a<b>&\"c'\r\n\tè");
  EXPECT_EQ(letto.Campo("intero").Intero(), INT64_MIN);
  EXPECT_EQ(letto.Campo("piccolo").Intero(), 255);
  EXPECT_DOUBLE_EQ(*letto.Campo("decimale").Numero(), 1.5e-7);
  EXPECT_EQ(letto.Campo("numero").Testo(), "12.50");
  EXPECT_EQ(letto.Campo("vero").Booleano(), true);
  EXPECT_EQ(letto.Campo("quando").Testo(), "2008-03-05T14:30:00.25");
  EXPECT_EQ(letto.Campo("quando").Data(), (DataOra{2008, 3, 5, 14, 30, 0, 250000000}));
  EXPECT_EQ(letto.Campo("giorno").Data(), (DataOra{2008, 3, 5, 0, 0, 0, 0}));
  EXPECT_EQ(letto.Campo("ora").Data(), (DataOra{0, 0, 0, 14, 30, 5, 0}));
  EXPECT_EQ(letto.Campo("id").Tipo(), TipoCampo::Testo);
  EXPECT_EQ(letto.Campo("ignoto").Testo(), "qualsiasi");
  EXPECT_EQ(letto.Colonne()[11].tipo, "tipoStrano");
  letto.MoveNext();
  for (std::size_t i = 0; i < 11; ++i)
    EXPECT_TRUE(letto.Campo(i).Nullo()) << i;
  EXPECT_FALSE(letto.Campo("ignoto").Nullo());
  EXPECT_EQ(letto.Campo("ignoto").Testo(), "");
}

TEST(RecordsetTest, EachDeclaredTypeGivesItsFamilyAndReadsAsIt) {
  struct Caso {
    const char* tipo;
    const char* testo;
    TipoCampo famiglia;
  };
  const std::vector<Caso> casi{
      {"i1", "-8", TipoCampo::Intero},
      {"i2", "-16", TipoCampo::Intero},
      {"i4", "32", TipoCampo::Intero},
      {"i8", "64", TipoCampo::Intero},
      {"ui1", "8", TipoCampo::Intero},
      {"ui2", "16", TipoCampo::Intero},
      {"ui4", "32", TipoCampo::Intero},
      {"ui8", "64", TipoCampo::Intero},
      {"int", "1", TipoCampo::Intero},
      {"r4", "1.5", TipoCampo::Decimale},
      {"r8", "2.5", TipoCampo::Decimale},
      {"float", "3.5", TipoCampo::Decimale},
      {"number", "4", TipoCampo::Decimale},
      {"fixed.14.4", "5.25", TipoCampo::Decimale},
      {"boolean", "1", TipoCampo::Booleano},
      {"date", "2008-03-05", TipoCampo::DataOra},
      {"time", "14:30:00", TipoCampo::DataOra},
      {"time.tz", "14:30:00", TipoCampo::DataOra},
      {"dateTime", "2008-03-05T14:30:00", TipoCampo::DataOra},
      {"dateTime.tz", "2008-03-05T14:30:00", TipoCampo::DataOra},
      {"string", "12", TipoCampo::Testo},
      {"uuid", "7", TipoCampo::Testo},
  };
  std::string colonne;
  std::string valori;
  for (std::size_t i = 0; i < casi.size(); ++i) {
    const std::string nome = "c" + std::to_string(i);
    colonne += "<s:AttributeType name='" + nome + "'><s:datatype dt:type='" + casi[i].tipo +
               "'/></s:AttributeType>";
    valori += " " + nome + "='" + casi[i].testo + "'";
  }
  const std::string elenco = kElenco;
  const auto schema = elenco.find("<s:AttributeType");
  const std::string xml = elenco.substr(0, schema) + colonne + "<s:extends type='rs:rowbase'/>" +
                          "</s:ElementType></s:Schema><rs:data><z:row" + valori +
                          "/></rs:data></xml>";
  Recordset rs;
  ASSERT_TRUE(rs.Apri(xml));
  for (std::size_t i = 0; i < casi.size(); ++i) {
    SCOPED_TRACE(casi[i].tipo);
    const Valore v = rs.Campo("c" + std::to_string(i));
    EXPECT_EQ(v.Tipo(), casi[i].famiglia);
    EXPECT_TRUE(v.Conforme());
  }
  EXPECT_EQ(rs.Campo("c14").Booleano(), true);
  EXPECT_EQ(rs.Campo("c13").Numero(), 5.25);
  EXPECT_EQ(rs.Campo("c0").Intero(), -8);
}

TEST(RecordsetTest, EncodedColumnNamesAreReadAndWrittenWithTheirRealName) {
  const std::string codificato = SostituisciTutti(
      SostituisciTutti(kElenco, "name='Filexx'", "name='c4' rs:name='File xx'"), "Filexx=", "c4=");
  Recordset rs;
  ASSERT_TRUE(rs.Apri(codificato));
  EXPECT_EQ(rs.Campo("file XX").Testo(), "Nuove stampe & fatture");
  EXPECT_FALSE(rs.EsisteCampo("c4"));

  Recordset creato;
  creato.Crea({{"Nome cliente", "string"}, {"1a", "int"}, {"c0", "string"}});
  creato.AggiungiRiga({"Rossi", "3", "x"});
  const std::string salvato = creato.Save();
  EXPECT_THAT(salvato, HasSubstr("rs:name=\"Nome cliente\"")) << salvato;
  Recordset riletto;
  ASSERT_TRUE(riletto.Apri(salvato));
  EXPECT_EQ(riletto.Campo("nome cliente").Testo(), "Rossi");
  EXPECT_EQ(riletto.Campo("1A").Intero(), 3);
  EXPECT_EQ(riletto.Campo("c0").Testo(), "x");
}

TEST(RecordsetTest, ValuesThatDoNotReadAsTheirTypeAreKeptAsText) {
  std::string strano = kElenco;
  strano.replace(strano.find("codice='42'"), 11, "codice='quarantadue'");
  strano.replace(strano.find("dataxx='2008-01-10T09:00:00'"), 28, "dataxx='2008-02-30T09:00:00'");
  Recordset rs;
  ASSERT_TRUE(rs.Apri(strano));
  const Valore codice = rs.Campo("codice");
  EXPECT_FALSE(codice.Conforme());
  EXPECT_FALSE(codice.Nullo());
  EXPECT_EQ(codice.Testo(), "quarantadue");
  EXPECT_EQ(codice.Intero(), std::nullopt);
  rs.MoveNext();
  EXPECT_EQ(rs.Campo("dataxx").Data(), std::nullopt);
  EXPECT_EQ(rs.Campo("dataxx").Testo(), "2008-02-30T09:00:00");
  rs.Sort("codice DESC, dataxx");  // sorting mixed values is no failure either
  EXPECT_EQ(Colonna(rs, "codice"), (std::vector<std::string>{"quarantadue", "7"}));
}

TEST(RecordsetTest, AnswersThatAreNoRecordsetLeaveItClosed) {
  const std::string inizio = std::string(kElenco).substr(0, std::string(kElenco).find("<rs:data>"));
  std::string annidati;
  for (int i = 0; i < 200000; ++i)
    annidati += "<a>";
  const std::vector<std::string> casi{
      "",
      "Utente non abilitato al servizio",
      "<html><body>Errore</body></html>",
      "<xml/>",
      std::string(kElenco).substr(0, std::string(kElenco).size() - 20),    // truncated
      inizio + "</xml>",                                                   // no rs:data
      inizio + "<rs:data><z:row codice='1' altro='2'/></rs:data></xml>",   // unknown column
      inizio + "<rs:data><z:row codice='1' codice='2'/></rs:data></xml>",  // repeated
      inizio + "<rs:data><z:row codice='1' q:x='2'/></rs:data></xml>",     // unbound prefix
      std::string(kElenco).replace(std::string(kElenco).find("id='RowsetSchema'"), 17, "id='X'"),
      // Two columns found by the same name: the second could never be read.
      std::string(kElenco).replace(std::string(kElenco).find("<s:AttributeType name='progra'"), 0,
                                   "<s:AttributeType name='CODICE' rs:number='9'/>"),
      "<xml>" + annidati,
      // Not one document: a second root, or text after the root.
      std::string(kElenco) + "<xml/>",
      std::string(kElenco) + "resto",
      inizio + "<rs:data><z:row codice='1'>" + annidati,
  };
  for (const auto& caso : casi) {
    Recordset rs;
    ASSERT_TRUE(rs.Apri(kElenco));
    EXPECT_FALSE(rs.Apri(caso)) << caso.substr(0, 50) << "..." << caso.substr(caso.size() - 200);
    EXPECT_EQ(rs.State(), Recordset::adStateClosed);
    EXPECT_TRUE(rs.BOF());
    EXPECT_TRUE(rs.EOF_());
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_THROW((void)rs.Campo("codice"), std::logic_error);
    EXPECT_THROW(rs.Sort("codice"), std::logic_error);
  }
}

TEST(RecordsetTest, ARecordsetWithoutRowsIsOpenAtBothEnds) {
  const std::string elenco = kElenco;
  Recordset rs;
  ASSERT_TRUE(rs.Apri(elenco.substr(0, elenco.find("<rs:data>")) + "<rs:data/></xml>"));
  EXPECT_TRUE(rs.State() == Recordset::adStateOpen && rs.BOF() && rs.EOF_());
  EXPECT_EQ(rs.RecordCount(), 0);
  rs.MoveFirst();
  rs.Filter("progra='TARVIK'");
  EXPECT_TRUE(rs.EOF_());
}

}  // namespace
}  // namespace quomaro
