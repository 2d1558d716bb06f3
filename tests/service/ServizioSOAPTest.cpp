#include <gmock/gmock.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "ServizioProva.h"
#include "service/CodificaSOAP.h"
#include "service/InterrogazioneLettura.h"

namespace orvane::servizio::test {
namespace {

using ::testing::HasSubstr;

constexpr const char* kInsert =
    "insert into download(dataxx, utente, codzip, descri, session) values('2008/03/05 "
    "14.30.00', 'ROSSI', '42', 'Stampe & fatture', 'ABC123')";

std::string FaultString(const httplib::Result& r) {
  const auto p = r->body.find("<faultstring>");
  return p == std::string::npos ? ""
                                : r->body.substr(p + 13, r->body.find("</faultstring>") - p - 13);
}

// "name:type " for each column of a recordset.
std::string Tipi(const quomaro::Recordset& rs) {
  std::string colonne;
  for (const auto& c : rs.Colonne())
    colonne += c.nome + ":" + c.tipo + " ";
  return colonne;
}

class ServizioSOAPTest : public ::testing::Test {
 protected:
  ServizioProva servizio_;
};

TEST_F(ServizioSOAPTest, RichiestaConnessioneAnswersSForEnabledAndNForRefusedOrUnknownCustomers) {
  const auto verdetto = [&](const std::string& utente, const std::string& busta) {
    const auto r = servizio_.Soap("RichiestaConnessione", {{"Utente", utente}}, busta, "e");
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->get_header_value("Content-Type"), "text/xml; charset=utf-8");
    return ServizioProva::Ritorno(r->body).value_or("<nessun return>");
  };
  // Each SOAP version's envelope is understood.
  for (const char* busta :
       {"http://www.w3.org/2001/06/soap-envelope", "http://schemas.xmlsoap.org/soap/envelope/",
        "http://www.w3.org/2003/05/soap-envelope"}) {
    EXPECT_EQ(verdetto("ROSSI", busta), "S") << busta;
  }
  for (const char* utente : {"VERDI", "NESSUNO", "", "' OR 1=1 --"})
    EXPECT_EQ(verdetto(utente, "http://www.w3.org/2001/06/soap-envelope"), "N") << utente;

  // The parameter is "Utente" for this operation: "utente" is not it.
  const auto r = servizio_.Soap("RichiestaConnessione", {{"utente", "ROSSI"}});
  EXPECT_EQ(r->status, 500);
  EXPECT_EQ(FaultString(r), "Parametro mancante: Utente");
}

// The file list's columns keep their types: Tervan checks the size each row
// gives against the file. The program is asked for, though the client
// filters by it itself. A customer the service does not know gets no list.
TEST_F(ServizioSOAPTest, GetFILEXXAnswersTypedColumnsToKnownCustomersAndNeedsTheProgram) {
  EXPECT_EQ(Tipi(ServizioProva::RecordsetDi(
                servizio_.Soap("getFILEXX", {{"utente", "ROSSI"}, {"progra", "TARVIK"}}))),
            "dataxx:dateTime codice:int progra:string TipoXx:string Filexx:string dimens:int "
            "notexx:string ");
  EXPECT_EQ(servizio_.Soap("getFILEXX", {{"utente", "ROSSI"}})->status, 500);
  EXPECT_EQ(ServizioProva::Ritorno(
                servizio_.Soap("getFILEXX", {{"utente", "NESSUNO"}, {"progra", "TARVIK"}})->body),
            "Utente non abilitato al servizio");
}

// The plain record as Tervan writes it is stored by the client's tests
// against the service (ClsCAServizioTest).
TEST_F(ServizioSOAPTest, TheDownloadRecordIsReadNotExecutedAndStoresQuotesAndMarkupAsText) {
  const auto tollerante =
      servizio_.Soap("EseguiComandoSQL",
                     {{"strsql",
                       "  INSERT\n INTO download ( dataxx ,utente,codzip,descri,session )VALUES("
                       "'x','O''Brien', '7','<b>''--</b>; DROP TABLE download','ABC123');"}});
  EXPECT_EQ(tollerante->status, 200);
  EXPECT_EQ(servizio_.ContaRighe("download"), 1);

  auto rs = ServizioProva::RecordsetDi(
      servizio_.Soap("SelectSQL_ADO", {{"strsql", "select utente, descri from download"}}));
  ASSERT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs.Campo("utente").Testo(), "O'Brien");
  EXPECT_EQ(rs.Campo("descri").Testo(), "<b>'--</b>; DROP TABLE download");
}

TEST_F(ServizioSOAPTest, SelectSQLADORunsOneReadOnlySelectAndAnswersARecordset) {
  auto rs = ServizioProva::RecordsetDi(servizio_.Soap(
      "SelectSQL_ADO", {{"strsql",
                         "select userid, abilitato, 1 + 1 as due, 2.5 as mezzo, null as niente "
                         "from clienti where abilitato = 'S' order by userid"}}));
  ASSERT_EQ(rs.State(), quomaro::Recordset::adStateOpen);
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.Campo("userid").Testo(), "BIANCHI");
  EXPECT_EQ(rs.Campo("due").Intero(), 2);
  EXPECT_EQ(rs.Campo("mezzo").Numero(), 2.5);
  EXPECT_TRUE(rs.Campo("niente").Nullo());

  auto vuoto = ServizioProva::RecordsetDi(
      servizio_.Soap("SelectSQL_ADO", {{"strsql", "SELECT * FROM download WHERE 1 = 0"}}));
  EXPECT_TRUE(vuoto.State() == quomaro::Recordset::adStateOpen && vuoto.BOF() && vuoto.EOF_());
  EXPECT_EQ(vuoto.Colonne().size(), 5U);

  // What the updater, the support tool and staff ask for still runs.
  rs = ServizioProva::RecordsetDi(servizio_.Soap(
      "SelectSQL_ADO",
      {{"strsql",
        "select count(*) as n, max(userid) as m, group_concat(lower(userid), ',') as g, "
        "upper(substr(trim(' ab '), 1, 1)) || printf('%03d|%-*s|%.2f', 7, 3, 'z', 2.5) as p, "
        "strftime('%Y', date('2024-03-01')) as a, coalesce(null, round(2.5)) as c, "
        "length(printf('%.*c', 1000, 'x')) as l "
        "from clienti where userid like '%ss%' or userid like 'v%'"}}));
  ASSERT_EQ(rs.State(), quomaro::Recordset::adStateOpen);
  EXPECT_EQ(rs.Campo("n").Intero(), 2);
  EXPECT_EQ(rs.Campo("p").Testo(), "A007|z  |2.50");
  EXPECT_EQ(rs.Campo("l").Intero(), 1000);

  // Declared column types give their persisted types.
  {
    ConnessioneSqlite db(servizio_.FileArchivio(), ConnessioneSqlite::Modo::LetturaScrittura);
    db.Esegui(
        "create table tipi(b BOOLEAN, r REAL, x BLOB, n NUMERIC, v VARCHAR(20), d DATETIME, "
        "i INTEGER, f DOUBLE PRECISION, t TEXT, z DECIMAL(10,2));"
        "insert into tipi values(1, 1.5, x'00ff', 12.5, 'testo', '2024-03-01 10:00:00', 7, 2.5, "
        "'t', 3.25)");
  }
  EXPECT_EQ(Tipi(ServizioProva::RecordsetDi(
                servizio_.Soap("SelectSQL_ADO", {{"strsql", "select * from tipi"}}))),
            "b:boolean r:float x:bin.hex n:number v:string d:dateTime i:int f:float t:string "
            "z:number ");

  // Repeated names, whatever their case, and empty ones get a number; a
  // query may give one name to all the columns it may have (more than the
  // client's reader takes, so asked here of the service's own reader).
  InterrogazioneLettura interrogazioni(servizio_.FileArchivio());
  EXPECT_EQ(
      Tipi(interrogazioni.Esegui("select 1 as a, 2 as A, 3 as a_1, '' as a, 4 as \"\", 5 as \"\"")),
      "a:int A_1:int a_1_1:int a_2:string colonna_1:int colonna_2:int ");
  const auto colonne = interrogazioni.Esegui("select 1" + Ripeti(", 1", 1999)).Colonne();
  ASSERT_EQ(colonne.size(), 2000U);
  EXPECT_EQ(colonne.back().nome, "1_1999");
}

// A command other than the download record, a query that is not one
// read-only select, or one that reaches a dangerous function or builds a
// huge value is refused with its reason, at once, and changes nothing.
TEST_F(ServizioSOAPTest, EveryOtherStatementOrUnsafeQueryIsRefusedWithItsReasonAndNeverRuns) {
  const char* const kComando = "EseguiComandoSQL";
  const char* const kQuery = "SelectSQL_ADO";
  const std::string insert = "insert into download(dataxx, utente, codzip, descri, session) ";
  const std::string valori = "values('x', 'ROSSI', '42', 'd', 's')";
  const std::vector<std::tuple<const char*, std::string, std::string>> casi{
      {kComando, insert + "values('x', '' OR 1=1 --', '42', 'd', 's')", ""},
      {kComando, std::string(kInsert) + "; DROP TABLE download", ""},
      {kComando, std::string(kInsert) + " -- commento", ""},
      {kComando, "insert into clienti(userid, abilitato) values('X', 'S')", ""},
      {kComando, "insert into download(dataxx, utente, codzip, descri) values('x', 'R', '4', 'd')",
       ""},
      {kComando, insert + "select * from download", ""},
      {kComando, insert + valori + ", ('a', 'b', 'c', 'd', 'e')", ""},
      {kComando, "insert into download(session, utente, codzip, descri, dataxx) " + valori, ""},
      {kComando, insert + "values('x', 'ROSSI', 42, 'd', 's')", ""},
      {kComando, insert + "values('x', 'non chiuso", ""},
      {kComando, "", ""},
      {kQuery, "select 1; delete from clienti", ""},
      {kQuery, "with x as (select 1) delete from clienti", ""},
      {kQuery, "pragma writable_schema = 1", ""},
      {kQuery, "attach database 'altro.db' as altro", ""},
      {kQuery, "create table nuova(a)", ""},
      {kQuery, "begin", ""},
      {kQuery, "explain select 1", ""},
      {kQuery, "select * from tabella_inesistente", ""},
      {kQuery, "", ""},
      {kQuery, "select 1; select 2", "è ammessa una sola istruzione"},
      // A library pointer, and in the two-argument form a way to replace it.
      {kQuery, "select hex(fts3_tokenizer('simple'))", "fts3_tokenizer"},
      {kQuery, "select fts3_tokenizer('simple', x'0000000000000000')", "fts3_tokenizer"},
      {kQuery, "select load_extension('/tmp/x.so')", "load_extension"},
      {kQuery, "select sqlite_compileoption_get(0)", "sqlite_compileoption_get"},
      // One huge value is refused at once, long before the time limit.
      {kQuery, "select length(printf('%.*c', 2000000000, 'x'))", "too big"},
      {kQuery, "select length(format('%s%-*.3c', 'a', -2000000000, 'x'))", "too big"},
      {kQuery, "select length(printf('%2000000000d', 1))", "too big"},
      {kQuery, "select length(printf(replace(hex(zeroblob(1000)), '00', '%.9999c'), 'x'))",
       "too big"},
      {kQuery, "select length(zeroblob(100000000))", "too big"},
      {kQuery, "select length(replace(hex(zeroblob(1000000)), '0', 'xyzxyz'))", "too big"},
      // One row more than a query may give, each row small.
      {kQuery,
       "with recursive r(n) as (select 1 union all select n + 1 from r where n <= " +
           std::to_string(InterrogazioneLettura::kRigheMassime) + ") select n from r",
       "più di " + std::to_string(InterrogazioneLettura::kRigheMassime) + " righe"},
      // Rows of values each within bounds, adding up past the answer's.
      {kQuery,
       "with recursive r(n) as (select 1 union all select n + 1 from r where n < " +
           std::to_string(InterrogazioneLettura::kRispostaMassima / 4000000 + 1) +
           ") select printf('%.4000000c', 'x') from r",
       "risposta di più di"},
      // Or far fewer bytes that the answer's escapes multiply.
      {kQuery,
       "with recursive r(n) as (select 1 union all select n + 1 from r where n < 2) "
       "select printf('%.4000000c', '\"') from r",
       "risposta di più di"},
  };
  // A bound that failed would leave the query to the time limit, whose
  // reason ("tempo massimo superato") none of these expects.
  for (const auto& [operazione, sql, motivo] : casi) {
    const auto r = servizio_.Soap(operazione, {{"strsql", sql}});
    ASSERT_TRUE(r) << sql;
    EXPECT_EQ(r->status, 500) << sql;
    EXPECT_EQ(r->get_header_value("Content-Type"), "text/xml; charset=utf-8");
    EXPECT_THAT(FaultString(r), HasSubstr(operazione == kQuery ? "Interrogazione non consentita"
                                                               : "Comando SQL non consentito"))
        << sql;
    EXPECT_THAT(FaultString(r), HasSubstr(motivo)) << sql;
  }
  EXPECT_EQ(servizio_.ContaRighe("download"), 0);
  EXPECT_EQ(servizio_.ContaRighe("clienti"), 3);
}

TEST_F(ServizioSOAPTest, MalformedRequestsAndUnknownOperationsGetAnXmlFault) {
  const std::vector<std::pair<std::string, std::string>> casi{
      {"", "Richiesta SOAP non valida"},
      {"non è XML", "Richiesta SOAP non valida"},
      {"<a:Envelope xmlns:a='urn:altro'><a:Body><getFILEXX/></a:Body></a:Envelope>",
       "Richiesta SOAP non valida"},
      {"<Envelope xmlns='http://schemas.xmlsoap.org/soap/envelope/'/>",
       "Richiesta SOAP non valida"},
      {"<soap:Envelope xmlns:soap='http://www.w3.org/2001/06/soap-envelope'><soap:Body/>"
       "</soap:Envelope>",
       "Richiesta SOAP non valida"},
      {"<soap:Envelope xmlns:soap='http://www.w3.org/2001/06/soap-envelope'><soap:Body>"
       "<CancellaTutto/></soap:Body></soap:Envelope>",
       "Operazione sconosciuta: CancellaTutto"},
      // Elements or attributes by the thousand, each costing far more parsed.
      {"<soap:Envelope xmlns:soap='http://www.w3.org/2001/06/soap-envelope'><soap:Body>"
       "<RichiestaConnessione><Utente>ROSSI</Utente>" +
           Ripeti("<p/>", CodificaSOAP::kMarcheMassime) +
           "</RichiestaConnessione></soap:Body></soap:Envelope>",
       "troppi elementi o attributi"},
      {"<soap:Envelope xmlns:soap='http://www.w3.org/2001/06/soap-envelope'><soap:Body>"
       "<RichiestaConnessione><Utente " +
           Ripeti("a='' ", CodificaSOAP::kMarcheMassime) +
           ">ROSSI</Utente></RichiestaConnessione></soap:Body></soap:Envelope>",
       "troppi elementi o attributi"},
  };
  for (const auto& [corpo, motivo] : casi) {
    const auto r = servizio_.Posta(corpo);
    EXPECT_EQ(r->status, 500) << corpo;
    EXPECT_THAT(FaultString(r), HasSubstr(motivo)) << corpo << "\n" << r->body;
    EXPECT_EQ(ServizioProva::Ritorno(r->body), std::nullopt);
  }
  // Too large, whether declared or sent in chunks, which declare no length.
  std::array<httplib::Result, 2> grandi{
      servizio_.Soap("RichiestaConnessione",
                     {{"Utente", std::string(ServizioHttp::kCorpoMassimo, 'x')}}),
      servizio_.PostaAPezzi(ServizioHttp::kCorpoMassimo + 1)};
  for (const auto& grande : grandi) {
    ASSERT_TRUE(grande);
    EXPECT_EQ(grande->status, 413);
    EXPECT_THAT(grande->body, HasSubstr("Richiesta troppo grande"));
  }
  // A small chunked request is an ordinary one.
  EXPECT_EQ(ServizioProva::Ritorno(servizio_.PostaAPezzi(0)->body), "S");
}

}  // namespace
}  // namespace orvane::servizio::test
