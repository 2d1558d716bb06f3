#include "quomaro/clsCA.h"

#include <gmock/gmock.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <mutex>
#include <utility>

#include "tests/client/ProvaQuomaro.h"

namespace quomaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;

constexpr const char* kPercorso = "/ServizioAggiornamenti/ServizioAggiornamenti.php";

// One request as the service received it: SOAPAction, the operation
// element and its parameter elements (name, text) in order.
struct Ricevuta {
  std::string azione;
  std::string operazione;
  std::vector<std::pair<std::string, std::string>> parametri;
};

// A service that records every request and answers one fixed return text.
class ClsCARichiesteTest : public ProvaQuomaro {
 protected:
  void SetUp() override {
    ProvaQuomaro::SetUp();
    server_.Server().Post(kPercorso, [this](const httplib::Request& req, httplib::Response& res) {
      pugi::xml_document d;
      d.load_string(req.body.c_str());
      const auto op = d.document_element().first_child().first_child();
      Ricevuta r{req.get_header_value("SOAPAction"), op.name(), {}};
      for (const auto p : op.children())
        r.parametri.emplace_back(p.name(), p.text().get());
      const std::scoped_lock lock(mutex_);
      ricevute_.push_back(std::move(r));
      res.set_content("<Envelope><Body><R><return>" + ritorno_ + "</return></R></Body></Envelope>",
                      "text/xml; charset=utf-8");
    });
    server_.Avvia();
    ::setenv("ORVANE_UPDATE_SERVER", server_.Url("").c_str(), 1);
  }

  ServerHttp server_;
  std::mutex mutex_;
  std::vector<Ricevuta> ricevute_;
  std::string ritorno_ = "S";
};

TEST_F(ClsCARichiesteTest, EachOperationSendsItsElementsInOrderAndSpeltExactly) {
  clsCA ca;
  EXPECT_EQ(ca.RichiestaConnessione("ROSSI"), "S");
  ca.RichiestaConnessione("");
  ca.getFILEXX("ROSSI", "02");
  ca.EseguiComandoSQL("insert into download values('a & <b>')");
  ca.SelectSQL_ADO("select a;b");
  ca.EseguiComandoSQL("select 1; delete from download");

  const std::string ns = "http://www.orvane.it/ServizioAggiornamenti/";
  ASSERT_EQ(ricevute_.size(), 6U);
  EXPECT_EQ(ricevute_[0].azione, ns + "RichiestaConnessione");
  EXPECT_EQ(ricevute_[0].operazione, "RichiestaConnessione");
  EXPECT_THAT(ricevute_[0].parametri, ElementsAre(Pair("Utente", "ROSSI")));
  EXPECT_THAT(ricevute_[1].parametri, ElementsAre(Pair("Utente", "")));
  EXPECT_EQ(ricevute_[2].azione, ns + "getFILEXX");
  EXPECT_THAT(ricevute_[2].parametri, ElementsAre(Pair("utente", "ROSSI"), Pair("progra", "02")));
  EXPECT_EQ(ricevute_[3].operazione, "EseguiComandoSQL");
  EXPECT_THAT(ricevute_[3].parametri,
              ElementsAre(Pair("strsql", "insert into download values('a & <b>')")));
  // Parameters are name;value texts: the rest after a ";" is never sent.
  EXPECT_EQ(ricevute_[4].operazione, "SelectSQL_ADO");
  EXPECT_THAT(ricevute_[4].parametri, ElementsAre(Pair("strsql", "select a")));
  EXPECT_THAT(ricevute_[5].parametri, ElementsAre(Pair("strsql", "select 1")));
}

TEST_F(ClsCARichiesteTest, EndpointIsFixedWhenTheObjectIsCreated) {
  clsCA creatoPrima;
  ::setenv("ORVANE_UPDATE_SERVER", ("http://127.0.0.1:" + std::to_string(PortaChiusa())).c_str(),
           1);
  EXPECT_EQ(creatoPrima.RichiestaConnessione("ROSSI"), "S");
  EXPECT_EQ(clsCA().RichiestaConnessione("ROSSI"), "");
  EXPECT_EQ(ricevute_.size(), 1U);
}

TEST_F(ClsCARichiesteTest, SelectAnswerThatIsNoRecordsetGivesNothingAndOneLogRecord) {
  ritorno_ = "Errore del servizio";
  clsCA ca;
  EXPECT_EQ(ca.SelectSQL_ADO("select * from download"), nullptr);
  EXPECT_EQ(RecordNelLog(), 1);
  EXPECT_THAT(Log(), HasSubstr(" Modulo          : clsCA\r\n Routine         : SelectSQL_ADO\r\n"));
  EXPECT_TRUE(ca.xmlStream().empty());
}

TEST_F(ClsCARichiesteTest, FailedExchangeReachesEachOperationAsItsEmptyResultUnlogged) {
  ::setenv("ORVANE_UPDATE_SERVER", ("http://127.0.0.1:" + std::to_string(PortaChiusa())).c_str(),
           1);
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
  EXPECT_EQ(RecordNelLog(), 0);
}

// Quomaro against the reference service.
class ClsCAServizioTest : public ProvaQuomaro {
 protected:
  void SetUp() override {
    ProvaQuomaro::SetUp();
    ::setenv("ORVANE_UPDATE_SERVER", servizio_.Server().c_str(), 1);
  }

  static std::vector<long long> Codici(Recordset& rs) {
    std::vector<long long> codici;
    for (rs.MoveFirst(); !rs.EOF_(); rs.MoveNext())
      codici.push_back(rs.Campo("codice").Intero().value_or(-1));
    return codici;
  }

  ServizioFiglio servizio_;
};

TEST_F(ClsCAServizioTest, FileListCoversEveryProgramOfTheCustomerAndFiltersByProgra) {
  std::shared_ptr<Recordset> rs;
  {
    clsCA ca;
    rs = ca.getFILEXX("ROSSI", "TARVIK");
    EXPECT_EQ(ca.xmlStream(), "");
  }
  // The recordset belongs to the caller and outlives the client.
  ASSERT_NE(rs, nullptr);
  ASSERT_EQ(rs->State(), Recordset::adStateOpen);
  std::vector<std::string> colonne;
  for (const auto& c : rs->Colonne())
    colonne.push_back(c.nome);
  EXPECT_THAT(colonne,
              ElementsAre("dataxx", "codice", "progra", "TipoXx", "Filexx", "dimens", "notexx"));
  EXPECT_EQ(rs->RecordCount(), 4);  // 42, 7 twice (TARVIK and SELVOR), 99

  rs->Sort("dataxx ASC");
  rs->Filter("progra='TARVIK'");
  EXPECT_THAT(Codici(*rs), ElementsAre(7, 42));
  rs->MoveFirst();
  rs->MoveNext();
  EXPECT_EQ(rs->Campo("Filexx").Testo(), "Stampe & <fatture>");
  EXPECT_EQ(rs->Campo("notexx").Testo(), "Prima riga\r\nseconda riga");
  EXPECT_EQ(rs->Campo("dataxx").Data(), (DataOra{2008, 3, 5, 14, 30, 0, 0}));
  EXPECT_EQ(rs->Campo("dimens").Intero(), static_cast<long long>(std::filesystem::file_size(
                                              servizio_.FilePacchetto("Aggiornamento00042.zip"))));
  rs->Filter("progra='PANELAA'");
  EXPECT_THAT(Codici(*rs), ElementsAre(99));
}

TEST_F(ClsCAServizioTest, VerdictsAndTheServicesMessageInXmlStreamUntilTheNextGoodAnswer) {
  clsCA ca;
  EXPECT_EQ(ca.RichiestaConnessione("VERDI"), "N");
  EXPECT_EQ(ca.RichiestaConnessione("NESSUNO"), "N");
  const auto rifiutato = ca.getFILEXX("VERDI", "TARVIK");
  ASSERT_NE(rifiutato, nullptr);
  EXPECT_EQ(rifiutato->State(), Recordset::adStateClosed);
  EXPECT_EQ(ca.xmlStream(), "Utente non abilitato al servizio");
  // Other operations leave it alone.
  EXPECT_EQ(ca.RichiestaConnessione("ROSSI"), "S");
  EXPECT_EQ(ca.xmlStream(), "Utente non abilitato al servizio");

  const auto buono = ca.getFILEXX("ROSSI", "TARVIK");
  EXPECT_EQ(buono->State(), Recordset::adStateOpen);
  EXPECT_EQ(ca.xmlStream(), "");
  EXPECT_EQ(RecordNelLog(), 0);
}

TEST_F(ClsCAServizioTest, RecordedDownloadIsReadBackAndRefusedStatementsChangeNothing) {
  clsCA ca;
  ca.EseguiComandoSQL(
      "insert into download(dataxx, utente, codzip, descri, session) values('2024/05/06 "
      "07.08.09', 'ROSSI', '42', 'Stampe & fatture più ''nuove''', 'S1')");
  EXPECT_EQ(RecordNelLog(), 0);
  // The service refuses anything but a download record: the answer is a
  // fault, logged by the transport, and the table keeps its row.
  ca.EseguiComandoSQL("delete from download");
  EXPECT_EQ(RecordNelLog(), 1);
  EXPECT_EQ(ca.SelectSQL_ADO("delete from download"), nullptr);
  EXPECT_EQ(RecordNelLog(), 2);

  // Only the text before ";" reaches the service: the select runs alone.
  const auto rs = ca.SelectSQL_ADO(
      "select dataxx, utente, codzip, descri from download where session = 'S1'; delete");
  ASSERT_NE(rs, nullptr);
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Campo("dataxx").Testo(), "2024/05/06 07.08.09");
  EXPECT_EQ(rs->Campo("utente").Testo(), "ROSSI");
  EXPECT_EQ(rs->Campo("codzip").Testo(), "42");
  EXPECT_EQ(rs->Campo("descri").Testo(), "Stampe & fatture più 'nuove'");

  // A select without rows is an open recordset at its end, not a failure.
  const auto vuoto = ca.SelectSQL_ADO("select utente, descri from download where utente = 'X'");
  ASSERT_NE(vuoto, nullptr);
  EXPECT_TRUE(vuoto->State() == Recordset::adStateOpen && vuoto->BOF() && vuoto->EOF_());
  EXPECT_EQ(vuoto->Colonne().size(), 2U);
  EXPECT_EQ(RecordNelLog(), 2);
}

}  // namespace
}  // namespace quomaro::test
