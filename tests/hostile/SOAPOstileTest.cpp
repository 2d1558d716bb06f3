// The SOAP transport and the service client against a service that
// misbehaves: each case has its defined result, no crash and no wait past
// the time limit.

#include <gmock/gmock.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "ProvaOstile.h"
#include "quomaro/Host.h"
#include "quomaro/Scaricamento.h"
#include "quomaro/clsCA.h"
#include "quomaro/clsSOAP.h"

namespace orvane::test::ostile {
namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;

// Long enough for an endless body to reach the size limit on a busy machine.
constexpr int kSecondiLimite = 2;
constexpr std::string_view kTimeout = "Connessione al server non disponibile";
constexpr std::string_view kComunicazione = "Errore di comunicazione con il server";
constexpr std::string_view kTroppoGrande = "Risposta del server troppo grande";
constexpr long long kMega = 1LL << 20U;

std::string Busta(const std::string& interno) {
  return "<?xml version=\"1.0\"?><soap:Envelope "
         "xmlns:soap=\"http://www.w3.org/2001/06/soap-envelope\"><soap:Body><ns1:OPResponse "
         "xmlns:ns1=\"urn:x\">" +
         interno + "</ns1:OPResponse></soap:Body></soap:Envelope>";
}

Comportamento Xml(const std::string& corpo) {
  return ServerOstile::Risposta(Testa(200, "text/xml", static_cast<long long>(corpo.size())),
                                corpo);
}

const std::string kMiliardoDiRisate =
    R"(<?xml version="1.0"?><!DOCTYPE r [<!ENTITY a "aaaaaaaaaa">)"
    R"(<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">)"
    R"(<!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;"><!ENTITY e "&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;">]>)";

// One misbehaviour of the service and what clsSOAP makes of it.
struct CasoSOAP {
  const char* nome;
  std::function<Comportamento(ServerOstile&)> comportamento;
  std::string risposta;    ///< what InviaRichiestaPOST returns
  std::string_view stato;  ///< what StatoRichiesta then holds (a part of it)
};

void PrintTo(const CasoSOAP& c, std::ostream* os) {
  *os << c.nome;
}

const std::vector<CasoSOAP> kCasiSOAP{
    {"EntitaAMiliardi",
     [](auto&) { return Xml(kMiliardoDiRisate + Busta("<return>&e;</return>")); }, "&e;", ""},
    {"EntitaEsterna",
     [](auto&) {
       return Xml(R"(<?xml version="1.0"?><!DOCTYPE r [<!ENTITY x SYSTEM "file:///etc/passwd">]>)" +
                  Busta("<return>&x;</return>"));
     },
     "&x;", ""},
    {"DoctypeEsterno",
     [](auto&) {
       return Xml(R"(<?xml version="1.0"?><!DOCTYPE r SYSTEM "http://127.0.0.1:1/r.dtd">)" +
                  Busta("<return>S</return>"));
     },
     "S", ""},
    {"LunghezzaDichiarata10GB",
     [](ServerOstile& s) { return s.Flusso(Testa(200, "text/xml", 10240 * kMega), 10240 * kMega); },
     "", kTroppoGrande},
    {"CorpoSenzaFine",
     [](ServerOstile& s) {
       return s.Flusso(
           "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nTransfer-Encoding: chunked\r\n", -1, true);
     },
     "", kTroppoGrande},
    {"UnByteAlSecondo",
     [](ServerOstile& s) {
       const std::string corpo = Busta("<return>S</return>");
       return s.Goccia(Testa(200, "text/xml", static_cast<long long>(corpo.size())), corpo, 1s);
     },
     "", kTimeout},
    {"AccettataMaiRisposta", [](auto&) { return ServerOstile::Muto(); }, "", kTimeout},
    {"ResetAMetaRisposta",
     [](auto&) {
       return ServerOstile::Reset(Testa(200, "text/xml", 5000), Busta("<return>S</return>"));
     },
     "", kComunicazione},
    {"NonHttp", [](auto&) { return ServerOstile::Risposta("SSH-2.0-OpenSSH_9.2\r\n", ""); }, "",
     kComunicazione},
    {"RedirezioneAltroSchema",
     [](auto&) {
       return ServerOstile::Risposta(
           "HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n", "");
     },
     "", kComunicazione},
};

class SOAPOstileTest : public ProvaOstile, public ::testing::WithParamInterface<CasoSOAP> {};

TEST_P(SOAPOstileTest, GivesItsDefinedResultWithinTheTimeLimit) {
  const CasoSOAP& c = GetParam();
  Server().Imposta(c.comportamento(Server()));
  quomaro::clsSOAP soap;
  soap.ImpostaSecondiAttesaMassima(kSecondiLimite);
  soap.URI(Server().Url("/ServizioAggiornamenti/ServizioAggiornamenti.php"));

  const Cronometro cronometro;
  const std::string risposta =
      soap.InviaRichiestaPOST({"Utente;ROSSI", ""}, "RichiestaConnessione");
  EXPECT_LT(cronometro.Trascorso(), std::chrono::seconds(kSecondiLimite + 2));
  EXPECT_EQ(risposta, c.risposta);
  EXPECT_EQ(soap.StatoRichiesta().empty(), c.stato.empty());
  EXPECT_THAT(soap.StatoRichiesta(), HasSubstr(std::string(c.stato)));
  EXPECT_EQ(RecordNelLog(), 0) << Log();
  // What the transfer held stays within the limit on the answer.
  ASSERT_NE(soap.XmlReq(), nullptr);
  EXPECT_LE(soap.XmlReq()->responseText().size(),
            quomaro::RichiestaHttp::kDimensioneMassimaRisposta);
  // The server stopped being read soon after the limit.
  EXPECT_LT(Server().Scritti(), 100 * kMega);
}

INSTANTIATE_TEST_SUITE_P(Servizio, SOAPOstileTest, ::testing::ValuesIn(kCasiSOAP),
                         [](const auto& caso) { return std::string(caso.param.nome); });

// --- The service client ----------------------------------------------------

const std::string kRecordsetAltro =
    R"(<xml xmlns:s="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882" )"
    R"(xmlns:dt="uuid:C2F41010-65B3-11d1-A29F-00AA00C14882" xmlns:rs="urn:schemas-microsoft-com:rowset" )"
    R"(xmlns:z="#RowsetSchema"><s:Schema id="RowsetSchema"><s:ElementType name="row" content="eltOnly">)"
    R"(<s:AttributeType name="nome" rs:number="1"><s:datatype dt:type="string"/></s:AttributeType>)"
    R"(</s:ElementType></s:Schema><rs:data><z:row nome="x"/></rs:data></xml>)";

// The answer to getFILEXX that carries `xml` as its text.
std::string Elenco(const std::string& xml) {
  std::string s;
  for (const char c : xml)
    s += c == '<' ? "&lt;" : c == '&' ? "&amp;" : std::string(1, c);
  return Busta("<return>" + s + "</return>");
}

TEST_F(ProvaOstile, TheFileListIsAnOpenOrClosedRecordsetAndTheAnswerToRead) {
  const std::string troncato = kRecordsetAltro.substr(0, 200);
  const std::string entita = kMiliardoDiRisate + "<xml>&e;</xml>";
  // The answer, whether the recordset opens, the text left to read, records.
  for (const auto& [corpo, aperto, xmlStream, record] :
       std::vector<std::tuple<std::string, bool, std::string, int>>{
           {Elenco(kRecordsetAltro), true, "", 0},
           {Elenco(troncato), false, troncato, 0},
           {Elenco(entita), false, entita, 0},
           {"", false, "", 1}}) {
    SCOPED_TRACE(corpo.substr(0, 300));
    Server().Imposta(Xml(corpo));
    ::setenv("ORVANE_UPDATE_SERVER", Server().Url("").c_str(), 1);
    const int prima = RecordNelLog();
    quomaro::clsCA ca;
    const auto rs = ca.getFILEXX("ROSSI", "TARVIK");
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->State(), aperto ? 1 : 0);
    EXPECT_EQ(ca.xmlStream(), xmlStream);
    // A column the list needs and the answer lacks is refused, not made up.
    if (aperto) {
      EXPECT_EQ(rs->Campo("nome").Testo(), "x");
      EXPECT_THROW(static_cast<void>(rs->Campo("dataxx")), std::out_of_range);
    }
    EXPECT_EQ(RecordNelLog(), prima + record) << Log();
  }
}

// --- The program ending ------------------------------------------------------

// Once the host says the program is ending, neither an answer that never
// comes nor a package that arrives a byte at a time holds it: each wait gives
// up within a second, without waiting for its own limits.
TEST_F(ProvaOstile, EveryWaitGivesUpSoonAfterTheHostSaysTheProgramIsEnding) {
  struct Dopo {
    Cronometro cronometro;
    bool operator()() const { return cronometro.Trascorso() > 500ms; }
  };
  Server().Imposta(ServerOstile::Muto());
  quomaro::clsSOAP soap;
  soap.URI(Server().Url("/ServizioAggiornamenti/ServizioAggiornamenti.php"));
  quomaro::ImpostaFineRichiesta(Dopo{});
  Cronometro cronometro;
  EXPECT_EQ(soap.InviaRichiestaPOST({"Utente;ROSSI", ""}, "RichiestaConnessione"), "");
  EXPECT_LT(cronometro.Trascorso(), 5s);
  EXPECT_THAT(soap.StatoRichiesta(), HasSubstr("abbandonata"));

  Server().Imposta(Server().Goccia(Testa(200, "application/zip", 100), std::string(100, 'x'), 1s));
  quomaro::ImpostaFineRichiesta(Dopo{});
  cronometro = {};
  const quomaro::EsitoScaricamento esito =
      quomaro::Scaricamento().Scarica(Server().Url("/Aggiornamento00001.zip"));
  EXPECT_LT(cronometro.Trascorso(), 5s);
  EXPECT_EQ(esito.fine, quomaro::FineScaricamento::Abbandonato);
  EXPECT_EQ(esito.corpo, "");
  quomaro::ImpostaFineRichiesta({});
  EXPECT_EQ(RecordNelLog(), 0);
}

// --- A large answer ----------------------------------------------------------

// "VmRSS" or "VmHWM" of this process, in bytes.
std::size_t Memoria(std::string_view voce) {
  std::ifstream in("/proc/self/status");
  for (std::string riga; std::getline(in, riga);) {
    if (riga.starts_with(voce)) return std::stoul(riga.substr(voce.size() + 1)) * 1024;
  }
  return 0;
}

TEST_F(ProvaOstile, ALargeAnswerIsReadWithAtMostTwiceItsSizeInMemory) {
  // A recordset's rows as the service escapes them, 60 MB in all.
  const std::string riga = "&lt;z:row codice=&quot;42&quot; Filexx=&quot;Stampe&quot;/&gt;";
  std::string testo;
  testo.reserve(60 * kMega);
  while (testo.size() + riga.size() <= 60 * kMega)
    testo += riga;
  const std::string corpo = Busta("<return>" + testo + "</return>");
  Server().Imposta([&corpo](int s) {
    static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
    ServerGrezzo::Scrivi(s, Testa(200, "text/xml", static_cast<long long>(corpo.size())) + "\r\n");
    ServerGrezzo::Scrivi(s, corpo);
    return true;
  });
  quomaro::clsSOAP soap;
  soap.URI(Server().Url("/ServizioAggiornamenti/ServizioAggiornamenti.php"));
  // The peak is measured from here: what the test itself holds is already in.
  std::ofstream("/proc/self/clear_refs") << "5";
  const std::size_t prima = Memoria("VmRSS:");
  const std::string risposta = soap.InviaRichiestaPOST({"Utente;ROSSI", ""}, "getFILEXX");
  const std::size_t picco = Memoria("VmHWM:");
  ASSERT_EQ(risposta.size(),
            testo.size() / riga.size() *
                std::string_view(R"(<z:row codice="42" Filexx="Stampe"/>)").size());
  EXPECT_LE(picco - prima, 2 * corpo.size() + 32 * kMega) << picco - prima;
}

}  // namespace
}  // namespace orvane::test::ostile
