#include "quomaro/clsCA.h"

#include <gmock/gmock.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ProvaQuomaro.h"

namespace quomaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kPercorso = "/ServizioAggiornamenti/ServizioAggiornamenti.php";

// A service that records every request and answers one fixed return text,
// or the whole answer a test sets.
class ClsCARichiesteTest : public ProvaQuomaro {
 protected:
  void SetUp() override {
    ProvaQuomaro::SetUp();
    server_.Server().Post(kPercorso, [this](const httplib::Request& req, httplib::Response& res) {
      // Recorded as "SOAPAction operation(name=text,...)".
      pugi::xml_document d;
      d.load_string(req.body.c_str());
      const auto op = d.document_element().first_child().first_child();
      std::string r = req.get_header_value("SOAPAction") + " " + op.name() + "(";
      for (const auto p : op.children())
        r += std::string(p.name()) + "=" + p.text().get() + (p.next_sibling() ? "," : "");
      const std::scoped_lock lock(mutex_);
      ricevute_.push_back(r + ")");
      res.set_content(corpo_.empty() ? "<Envelope><Body><R><return>" + ritorno_ +
                                           "</return></R></Body></Envelope>"
                                     : corpo_,
                      "text/xml; charset=utf-8");
    });
    server_.Avvia();
    ::setenv("ORVANE_UPDATE_SERVER", server_.Url("").c_str(), 1);
  }

  ServerHttp server_;
  std::mutex mutex_;
  std::vector<std::string> ricevute_;
  std::string ritorno_ = "S";
  std::string corpo_;  // the whole answer, when not the fixed return text
};

TEST_F(ClsCARichiesteTest, EachOperationSendsItsElementsInOrderAndSpeltExactly) {
  clsCA ca;
  // "S" is no recordset: the select gives nothing, logged once, and leaves
  // the text of the answer alone.
  EXPECT_EQ(ca.SelectSQL_ADO("select a"), nullptr);
  EXPECT_TRUE(ca.xmlStream().empty());
  EXPECT_EQ(ca.RichiestaConnessione("ROSSI"), "S");
  ca.RichiestaConnessione("");
  ca.getFILEXX("ROSSI", "02");
  ca.EseguiComandoSQL("insert into download values('a & <b>')");

  const std::string ns = "http://www.orvane.it/ServizioAggiornamenti/";
  EXPECT_THAT(ricevute_,
              ElementsAre(ns + "SelectSQL_ADO SelectSQL_ADO(strsql=select a)",
                          ns + "RichiestaConnessione RichiestaConnessione(Utente=ROSSI)",
                          ns + "RichiestaConnessione RichiestaConnessione(Utente=)",
                          ns + "getFILEXX getFILEXX(utente=ROSSI,progra=02)",
                          ns + "EseguiComandoSQL EseguiComandoSQL(strsql=insert into download "
                               "values('a & <b>'))"));
  EXPECT_EQ(RecordNelLog(), 1);
  EXPECT_THAT(Log(), HasSubstr(" Modulo          : clsCA\r\n Routine         : SelectSQL_ADO\r\n"));
}

// Some SOAP stacks send a fault with a success status: the statement was
// refused all the same, however the envelope's prefixes are spelt.
TEST_F(ClsCARichiesteTest, AStatementAnsweredWithAFaultIsNotRecordedWhateverTheStatus) {
  const std::string guasto =
      "<faultcode>Server</faultcode><faultstring>Database non disponibile</faultstring>";
  for (const auto& [corpo, registrato] : std::vector<std::pair<std::string, bool>>{
           {"<E:Envelope xmlns:E=\"http://schemas.xmlsoap.org/soap/envelope/\"><E:Body><E:Fault>" +
                guasto + "<detail><e>x</e></detail></E:Fault></E:Body></E:Envelope>",
            false},
           {"<?xml version=\"1.0\"?>\n<Envelope xmlns=\"urn:e\">\n <Body>\n  <!-- c -->\n  "
            "<Fault>" +
                guasto + "</Fault>\n </Body>\n</Envelope>",
            false},
           // An answer that merely names a fault in its result was recorded.
           {"<Envelope><Body><R><return>Fault</return><Fault/></R></Body></Envelope>", true},
       }) {
    {
      const std::scoped_lock lock(mutex_);
      corpo_ = corpo;
    }
    clsCA ca;
    EXPECT_EQ(ca.InviaComandoSQL("insert into download values('x')"), registrato) << corpo;
  }
}

// The endpoint is fixed when the object is created; a failed exchange
// reaches each operation as its empty result, unlogged.
TEST_F(ClsCARichiesteTest, EndpointIsFixedAtCreationAndAFailedExchangeGivesEmptyResultsUnlogged) {
  clsCA creatoPrima;
  ::setenv("ORVANE_UPDATE_SERVER", UrlChiuso().c_str(), 1);
  EXPECT_EQ(creatoPrima.RichiestaConnessione("ROSSI"), "S");
  EXPECT_EQ(ricevute_.size(), 1U);

  clsCA ca;
  ca.xmlStream("precedente");
  EXPECT_EQ(ca.RichiestaConnessione("ROSSI"), "");
  ca.EseguiComandoSQL("insert into download values('x')");
  EXPECT_EQ(ca.SelectSQL_ADO("select 1"), nullptr);
  const auto rs = ca.getFILEXX("ROSSI", "TARVIK");
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(rs->State(), Recordset::adStateClosed);
  EXPECT_EQ(ca.xmlStream(), "");
  EXPECT_NE(ca.XmlReq(), nullptr);
  EXPECT_EQ(ricevute_.size(), 1U);
  EXPECT_EQ(RecordNelLog(), 0);
}

// Quomaro against the reference service.
class ClsCAServizioTest : public ProvaQuomaro {
 protected:
  void SetUp() override {
    ProvaQuomaro::SetUp();
    ::setenv("ORVANE_UPDATE_SERVER", servizio_.Server().c_str(), 1);
  }

  ServizioFiglio servizio_;
};

TEST_F(ClsCAServizioTest, VerdictsMessagesAndStatementsAgainstTheService) {
  std::shared_ptr<Recordset> buono;
  {
    clsCA ca;
    EXPECT_EQ(ca.RichiestaConnessione("VERDI"), "N");
    const auto rifiutato = ca.getFILEXX("VERDI", "TARVIK");
    ASSERT_NE(rifiutato, nullptr);
    EXPECT_EQ(rifiutato->State(), Recordset::adStateClosed);
    EXPECT_EQ(ca.xmlStream(), "Utente non abilitato al servizio");
    // Other operations leave it alone.
    EXPECT_EQ(ca.RichiestaConnessione("ROSSI"), "S");
    EXPECT_EQ(ca.xmlStream(), "Utente non abilitato al servizio");
    buono = ca.getFILEXX("ROSSI", "TARVIK");
    EXPECT_EQ(ca.xmlStream(), "");
  }
  // The list covers every program of the customer, and belongs to the
  // caller: it outlives the client.
  ASSERT_EQ(buono->State(), Recordset::adStateOpen);
  EXPECT_EQ(buono->RecordCount(), 4);  // 42, 7 twice (TARVIK and SELVOR), 99

  // A recorded download is read back; refused statements change nothing.
  clsCA ca;
  EXPECT_TRUE(ca.InviaComandoSQL(
      "insert into download(dataxx, utente, codzip, descri, session) values('2024/05/06 "
      "07.08.09', 'ROSSI', '42', 'Stampe & fatture più ''nuove''', 'S1')"));
  EXPECT_EQ(RecordNelLog(), 0);
  // The service refuses anything but a download record: the answer is a
  // fault, logged by the transport, and the table keeps its row.
  EXPECT_FALSE(ca.InviaComandoSQL("delete from download"));
  ca.EseguiComandoSQL("delete from download");
  EXPECT_EQ(ca.SelectSQL_ADO("delete from download"), nullptr);
  EXPECT_EQ(RecordNelLog(), 3);
  // A statement that no request can carry does not pass for sent (the
  // build and the service's fault at the empty body are both logged).
  EXPECT_FALSE(ca.InviaComandoSQL("insert \x01"));

  // Only the text before ";" reaches the service: the select runs alone.
  const auto rs = ca.SelectSQL_ADO(
      "select dataxx, utente, codzip, descri from download where session = 'S1'; delete");
  ASSERT_NE(rs, nullptr);
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Campo("dataxx").Testo(), "2024/05/06 07.08.09");
  EXPECT_EQ(rs->Campo("descri").Testo(), "Stampe & fatture più 'nuove'");
  EXPECT_EQ(RecordNelLog(), 5);
}

// What a customer has taken is no longer offered to them; a package shared
// by two programs goes only for the customer who took it, and a package the
// catalogue repeats stays on offer.
TEST_F(ClsCAServizioTest, TheFileListLeavesOutWhatTheCustomerHasAlreadyDownloaded) {
  ServizioFiglio servizio(R"({
    "clienti": [ { "userid": "ROSSI", "abilitato": "S" },
                 { "userid": "BIANCHI", "abilitato": "S" } ],
    "pacchetti": [
      { "codice": 1, "dataxx": "2024-01-01", "progra": "TARVIK", "TipoXx": "TARVIK",
        "Filexx": "Uno", "contenuto": { "a.txt": "1" }, "clienti": ["ROSSI"] },
      { "codice": 2, "dataxx": "2024-01-02", "progra": ["TARVIK", "SELVOR"], "TipoXx": "ORVANE",
        "Filexx": "Comune", "contenuto": { "a.txt": "2" }, "clienti": ["ROSSI", "BIANCHI"] },
      { "codice": 3, "dataxx": "2024-01-03", "progra": "TARVIK", "TipoXx": "TARVIK",
        "Filexx": "Sempre", "contenuto": { "a.txt": "3" }, "clienti": ["ROSSI"], "ripeti": true }
    ]
  })");
  ::setenv("ORVANE_UPDATE_SERVER", servizio.Server().c_str(), 1);
  clsCA ca;
  const auto offerti = [&](const char* utente) {
    const auto rs = ca.getFILEXX(utente, "TARVIK");
    std::vector<std::string> righe;
    for (; rs->State() == Recordset::adStateOpen && !rs->EOF_(); rs->MoveNext())
      righe.push_back(std::to_string(rs->Campo("codice").Intero().value_or(-1)) + "/" +
                      rs->Campo("progra").Testo());
    return righe;
  };
  const auto scarica = [&](const char* utente, const char* codice) {
    ca.EseguiComandoSQL(
        std::string("insert into download(dataxx, utente, codzip, descri, session) values('2024/"
                    "05/06 07.08.09', '") +
        utente + "', '" + codice + "', 'd', '')");
  };
  EXPECT_THAT(offerti("ROSSI"), ElementsAre("1/TARVIK", "2/SELVOR", "2/TARVIK", "3/TARVIK"));

  scarica("ROSSI", "2");
  EXPECT_THAT(offerti("ROSSI"), ElementsAre("1/TARVIK", "3/TARVIK"));
  EXPECT_THAT(offerti("BIANCHI"), ElementsAre("2/SELVOR", "2/TARVIK"));

  scarica("ROSSI", "3");
  scarica("ROSSI", "1");
  EXPECT_THAT(offerti("ROSSI"), ElementsAre("3/TARVIK"));
  EXPECT_EQ(RecordNelLog(), 0);
}

}  // namespace
}  // namespace quomaro::test
