#include "quomaro/clsSOAP.h"

#include <gmock/gmock.h>
#include <pugixml.hpp>

#include <atomic>
#include <chrono>
#include <limits>
#include <tuple>
#include <utility>

#include "ProvaQuomaro.h"
#include "quomaro/Host.h"

namespace quomaro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::string_view kPercorso = "/ServizioAggiornamenti/ServizioAggiornamenti.php";
const std::string kBusta =
    R"(<soap:Envelope xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" )"
    R"(xmlns:xsd="http://www.w3.org/2001/XMLSchema" )"
    R"(xmlns:soap="http://www.w3.org/2001/06/soap-envelope"><soap:Body>)";
const std::string kDichiarazione = R"(<?xml version="1.0" encoding="utf-8"?>)";
const std::string kTimeout = "Connessione al server non disponibile";

std::string Risposta(const std::string& interno) {
  return kBusta + "<RispostaResponse>" + interno +
         "</RispostaResponse></soap:Body></soap:Envelope>";
}

// A service that records each request's body and answers what the test
// prepared.
class ClsSOAPTest : public ProvaQuomaro {
 protected:
  void SetUp() override {
    ProvaQuomaro::SetUp();
    server_.Server().Post(std::string(kPercorso), [this](const auto& req, auto& res) {
      if (silenzioso_) {
        server_.AttendiChiusura();
        return;
      }
      const std::scoped_lock lock(mutex_);
      ricevute_.push_back(req.body);
      res.status = stato_;
      res.set_content(corpo_, tipo_);
    });
    server_.Avvia();
    soap_.URI(server_.Url(kPercorso));
  }

  std::string Invia(const std::vector<std::string>& parametri, const std::string& funzione) {
    return soap_.InviaRichiestaPOST(parametri, funzione);
  }
  std::string Connessione() { return Invia({"Utente;ROSSI", ""}, "RichiestaConnessione"); }
  std::string Ricevuta(const std::vector<std::string>& parametri, const std::string& funzione) {
    static_cast<void>(Invia(parametri, funzione));
    return UltimaRicevuta();
  }
  std::string UltimaRicevuta() {
    const std::scoped_lock lock(mutex_);
    return ricevute_.empty() ? std::string() : ricevute_.back();
  }

  void Rispondi(int stato, const std::string& tipo, const std::string& corpo) {
    const std::scoped_lock lock(mutex_);
    stato_ = stato;
    tipo_ = tipo;
    corpo_ = corpo;
  }

  std::mutex mutex_;
  std::vector<std::string> ricevute_;
  std::atomic<bool> silenzioso_ = false;
  int stato_ = 200;
  std::string tipo_ = "text/xml; charset=utf-8";
  std::string corpo_ = Risposta("<return>S</return>");
  // Declared after what its handlers use, so it stops first.
  ServerHttp server_;
  clsSOAP soap_;
};

TEST_F(ClsSOAPTest, PostsTheExactDocumentHeadersAndParametersAndKeepsACopyBesideTheLibrary) {
  std::string richiesta;
  ServerGrezzo grezzo([&richiesta](int s) {
    richiesta = ServerGrezzo::LeggiRichiesta(s);
    ServerGrezzo::Scrivi(s,
                         "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 18\r\n"
                         "Connection: close\r\n\r\n<return>S</return>");
    return true;
  });
  soap_.URI(grezzo.Url(kPercorso));
  // What a writer of the copy killed before its rename left goes with it.
  orvane::test::ScriviFile(CartellaLibreria() / ".SOAP.xml.Ab12Cd", "<mezza");

  // A value ends at its own ";": what follows is not sent.
  EXPECT_EQ(Invia({"utente;ROSSI", "progra;02;TARVIK;x", ""}, "getFILEXX"), "S");
  EXPECT_FALSE(std::filesystem::exists(CartellaLibreria() / ".SOAP.xml.Ab12Cd"));

  const std::string fine = "</soap:Body></soap:Envelope>";
  const std::string corpo = kDichiarazione + kBusta +
                            "<getFILEXX><utente>ROSSI</utente><progra>02</progra></getFILEXX>" +
                            fine;
  const auto fineTesta = richiesta.find("\r\n\r\n");
  const std::string testa = richiesta.substr(0, fineTesta + 2);
  EXPECT_EQ(richiesta.substr(fineTesta + 4), corpo);
  EXPECT_EQ(orvane::test::LeggiFile(CartellaLibreria() / "SOAP.xml"), corpo);
  EXPECT_TRUE(testa.starts_with("POST " + std::string(kPercorso) + " HTTP/1.1\r\n"));
  const auto tipo = testa.find("\r\nContent-Type: text/xml; charset=utf-8\r\n");
  const auto lenght = testa.find("\r\nContent-Lenght: 0\r\n");
  const auto azione =
      testa.find("\r\nSOAPAction: http://www.orvane.it/ServizioAggiornamenti/getFILEXX\r\n");
  EXPECT_LT(tipo, lenght);
  EXPECT_LT(lenght, azione);
  EXPECT_NE(azione, std::string::npos);
  EXPECT_THAT(testa, HasSubstr("\r\nContent-Length: " + std::to_string(corpo.size()) + "\r\n"));
  EXPECT_THAT(testa, Not(HasSubstr("Authorization")));
  ASSERT_NE(soap_.XmlReq(), nullptr);
  EXPECT_EQ(soap_.XmlReq()->statusText(), "OK");

  // The parameters below the upper bound, split at semicolons and escaped.
  soap_.URI(server_.Url(kPercorso));
  EXPECT_EQ(Ricevuta({}, "RichiestaConnessione"),
            kDichiarazione + kBusta + "<RichiestaConnessione/>" + fine);
  EXPECT_EQ(Ricevuta({"Utente;ROSSI"}, "RichiestaConnessione"),
            kDichiarazione + kBusta + "<RichiestaConnessione/>" + fine);
  EXPECT_THAT(Ricevuta({"Utente;", ""}, "RichiestaConnessione"),
              HasSubstr("<RichiestaConnessione><Utente/></RichiestaConnessione>"));

  // Markup characters, quotes and non-ASCII text reach the service intact.
  const std::string valore = "a & b < c > \"d\" 'e' ]]> àèìòù €";
  const std::string inviato = Ricevuta({"strsql;" + valore, ""}, "SelectSQL_ADO");
  EXPECT_THAT(inviato, HasSubstr("a &amp; b &lt; c"));
  pugi::xml_document letto;
  ASSERT_TRUE(letto.load_string(inviato.c_str()));
  EXPECT_EQ(letto.select_node("//SelectSQL_ADO/strsql").node().text().get(), valore);
  EXPECT_EQ(RecordNelLog(), 0);
}

TEST_F(ClsSOAPTest, RequestThatCannotBeBuiltOrCopiedIsLoggedAndWhatCanBeBuiltIsPosted) {
  // Names that are no XML names, values that are no XML text, and a bad operation.
  for (const char* parametro : {"strsql", "1nome;x", "a b;x", "strsql;\x01", "strsql;\xff"}) {
    EXPECT_EQ(Invia({parametro, ""}, "EseguiComandoSQL"), "S") << parametro;
    EXPECT_EQ(UltimaRicevuta(), "");
  }
  EXPECT_EQ(Invia({"Utente;ROSSI", ""}, "<op>"), "S");
  EXPECT_EQ(UltimaRicevuta(), "");
  EXPECT_EQ(RecordNelLog(), 6);
  EXPECT_EQ(messaggi_.Messaggi().size(), 6u);
  EXPECT_THAT(Log(), HasSubstr(" Errore numero   : 9\r\n"));
  EXPECT_THAT(Log(),
              HasSubstr(" Modulo          : clsSOAP\r\n Routine         : CreaRichiestaSOAP\r\n"));

  // A copy that cannot be saved is logged once, naming it, but every
  // request still goes out.
  const auto copia = CartellaLibreria() / "SOAP.xml";
  std::filesystem::create_directory(copia);
  const std::size_t prima = Log().size();
  EXPECT_EQ(Connessione(), "S");
  EXPECT_EQ(Connessione(), "S");
  EXPECT_THAT(UltimaRicevuta(), HasSubstr("<Utente>ROSSI</Utente>"));
  EXPECT_EQ(RecordNelLog(), 7);
  EXPECT_THAT(Log().substr(prima), HasSubstr("\"" + copia.string() + "\""));
  EXPECT_THAT(Log().substr(prima),
              HasSubstr(" Routine         : CreaRichiestaSOAP\r\n Linea di codice : 80\r\n"));

  // A link in its place is replaced: the file it led to keeps its bytes.
  std::filesystem::remove(copia);
  const auto altro = CartellaLibreria() / "altro.reg";
  orvane::test::ScriviFile(altro, "dati");
  std::filesystem::create_symlink(altro, copia);
  EXPECT_EQ(Connessione(), "S");
  EXPECT_EQ(orvane::test::LeggiFile(altro), "dati");
  EXPECT_EQ(orvane::test::LeggiFile(copia), UltimaRicevuta());
  std::filesystem::remove(altro);
}

TEST_F(ClsSOAPTest, AnswerIsTheFirstUnprefixedReturnOfAnXmlAnswerOrTheRawBody) {
  const std::string html = "<html><body><return>S</return></body></html>";
  for (const auto& [stato, tipo, corpo, atteso] :
       std::vector<std::tuple<int, std::string, std::string, std::string>>{
           {200, "text/xml", Risposta("<return>primo</return><return>secondo</return>"), "primo"},
           {200, "text/xml", Risposta("<ns:return>no</ns:return><return>si</return>"), "si"},
           {200, "text/xml", Risposta("<return>a<b>b</b>c<![CDATA[<d>]]>&amp;</return>"),
            "abc<d>&"},
           {404, "text/xml", Risposta("<return>N</return>"), "N"},
           {200, "TEXT/XML", html, html},
           {200, "text/html", html, html},
           {500, "text/plain", "errore", "errore"},
           {407, "text/html", html, html},
           {200, "text/xml", Risposta("<nessuno>S</nessuno>"), ""},
           {200, "text/xml", "questo non è XML", ""},
           {200, "text/xml", "", ""},
           // Cut short or broken after the verdict: no verdict at all.
           {200, "text/xml", "<a><return>S</return>", ""},
           {200, "text/xml", "<x><return>S</return></y>", ""},
           // More than one document is no answer either.
           {200, "text/xml", Risposta("<return>S</return>") + "<altro/>", ""},
           {200, "text/xml", Risposta("<return>S</return>") + "testo", ""},
           // The verdict is the element's text without the white space around it.
           {200, "text/xml", Risposta("<return>\n  S\r\n\t</return>"), "S"},
           {200, "text/xml", Risposta("<return> a  b </return>"), "a  b"},
           // A charset of the header reads a body silent on its encoding;
           // a body in UTF-8, or that names its own encoding, keeps it.
           {200, "text/xml; Charset=\"ISO-8859-1\"", Risposta("<return>Novit\xe0</return>"),
            "Novit\u00e0"},
           {200, "text/xml; charset=ISO-8859-1", Risposta("<return>Novit\u00e0</return>"),
            "Novit\u00e0"},
       }) {
    Rispondi(stato, tipo, corpo);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Connessione(), atteso) << tipo << " " << corpo;
    // An error status that is not the service's XML is named in the journal.
    const bool pagina = (stato < 200 || stato > 299) && tipo.find("text/xml") == std::string::npos;
    EXPECT_EQ(::testing::internal::GetCapturedStderr().find("HTTP " + std::to_string(stato)) !=
                  std::string::npos,
              pagina)
        << stato << " " << tipo;
  }
  EXPECT_EQ(soap_.StatoRichiesta(), "");
  // The seven XML answers without a readable "return" element.
  EXPECT_EQ(RecordNelLog(), 7);
  EXPECT_THAT(Log(), HasSubstr(" Errore numero   : 91\r\n"));
  EXPECT_THAT(Log(), HasSubstr(" Routine         : InviaRichiestaPOST\r\n"));
}

TEST_F(ClsSOAPTest, RedirectsAreFollowedWithTheSameRequestOnHttpOnlyAndAtMostFive) {
  auto& s = server_.Server();
  s.Post(R"(/spostato(\d+))", [](const auto& req, auto& res) {
    res.status = std::stoi(req.matches[1]);
    res.set_header("Location", std::string(kPercorso));
    res.set_content("<html>Spostato</html>", "text/html");
  });
  s.Post(R"(/catena(\d+))", [](const auto& req, auto& res) {
    const int resto = std::stoi(req.matches[1]);
    res.set_redirect(resto == 0 ? std::string(kPercorso) : "/catena" + std::to_string(resto - 1),
                     308);
  });

  for (const int stato : {301, 302, 303, 307, 308}) {
    SCOPED_TRACE(stato);
    soap_.URI(server_.Url("/spostato" + std::to_string(stato)));
    EXPECT_EQ(Invia({"Utente;ROSSI", ""}, "RichiestaConnessione"), "S");
    // The service received the POST itself, body and all.
    EXPECT_THAT(UltimaRicevuta(), HasSubstr("<Utente>ROSSI</Utente>"));
  }
  soap_.URI(server_.Url("/catena4"));
  EXPECT_EQ(Connessione(), "S");
  EXPECT_EQ(soap_.StatoRichiesta(), "");

  // (A redirect to another scheme is the hostile suite's.)
  soap_.URI(server_.Url("/catena5"));
  EXPECT_EQ(Connessione(), "");
  EXPECT_THAT(soap_.StatoRichiesta(), HasSubstr("Errore di comunicazione con il server"));
  EXPECT_THAT(soap_.StatoRichiesta(), HasSubstr("redirect"));
  EXPECT_EQ(RecordNelLog(), 0);
}

TEST_F(ClsSOAPTest, AnswerUpToTheLimitIsReturnedWholeAndOneByteMoreFailsTheExchange) {
  constexpr std::size_t kLimite = RichiestaHttp::kDimensioneMassimaRisposta;
  for (const std::size_t dimensione : {kLimite, kLimite + 1}) {
    const std::string percorso = "/grande" + std::to_string(dimensione);
    server_.Server().Post(percorso, [dimensione](const auto&, auto& res) {
      res.set_content_provider(dimensione, "application/octet-stream",
                               [](std::size_t, std::size_t lunghezza, httplib::DataSink& sink) {
                                 static const std::string blocco(1 << 20, 'x');
                                 return sink.write(blocco.data(),
                                                   std::min(lunghezza, blocco.size()));
                               });
    });
    soap_.URI(server_.Url(percorso));
    EXPECT_EQ(Connessione().size(), dimensione == kLimite ? kLimite : 0U);
  }
  EXPECT_EQ(soap_.StatoRichiesta(), "Risposta del server troppo grande");
  EXPECT_EQ(RecordNelLog(), 0);
}

TEST_F(ClsSOAPTest, TimeoutStrikesAfterMoreThanThirtyClockSecondsAndTheRequestStays) {
  // The clock starts just before a second boundary and moves half a second
  // at every turn of the message pump.
  const auto inizio =
      platform::Istante(std::chrono::seconds(1'700'000'000)) + std::chrono::milliseconds(999);
  auto adesso = inizio;
  int turni = 0;
  quomaro::ImpostaOrologio([&adesso] { return adesso; });
  quomaro::ImpostaPompaMessaggi([&] {
    ++turni;
    adesso += std::chrono::milliseconds(500);
  });
  silenzioso_ = true;

  EXPECT_EQ(Connessione(), "");
  EXPECT_EQ(soap_.StatoRichiesta(), kTimeout);
  // 31 boundaries crossed: 30.5 s after the send.
  EXPECT_EQ(turni, 61);
  const auto incompiuta = soap_.XmlReq();
  ASSERT_NE(incompiuta, nullptr);
  EXPECT_LT(incompiuta->readyState(), 4);

  // A later success keeps the description and replaces the request.
  silenzioso_ = false;
  EXPECT_EQ(Connessione(), "S");
  EXPECT_EQ(soap_.StatoRichiesta(), kTimeout);
  EXPECT_NE(soap_.XmlReq(), incompiuta);
  EXPECT_EQ(soap_.XmlReq()->readyState(), 4);
  EXPECT_EQ(RecordNelLog(), 0);

  // A clock stepped an hour forward while the answer comes (NTP at log-on)
  // does not end the wait.
  quomaro::ImpostaPompaMessaggi([&, saltato = false]() mutable {
    if (!std::exchange(saltato, true)) adesso += std::chrono::hours(1);
  });
  EXPECT_EQ(Connessione(), "S");
  // The longest limit an int holds waits too.
  soap_.ImpostaSecondiAttesaMassima(std::numeric_limits<int>::max());
  EXPECT_EQ(Connessione(), "S");
}

// A peer that never answers is the hostile suite's.
TEST_F(ClsSOAPTest, PeersThatFailGiveAnEmptyAnswerAndADescription) {
  const std::string url = UrlChiuso("/");
  soap_.URI(url);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Connessione(), "");
  // Why, and where, is left for the session's journal.
  EXPECT_THAT(::testing::internal::GetCapturedStderr(),
              ::testing::AllOf(HasSubstr(url), HasSubstr(soap_.StatoRichiesta())));
  const std::string stato = soap_.StatoRichiesta();
  EXPECT_THAT(stato, HasSubstr("Errore di comunicazione"));
  EXPECT_EQ(RecordNelLog(), 0);

  // An address that is not an http URL is a logged failure of the call.
  for (const char* altro : {"", "file:///etc/passwd", "ftp://127.0.0.1/x", "non un indirizzo"}) {
    soap_.URI(altro);
    EXPECT_EQ(Connessione(), "");
  }
  EXPECT_EQ(RecordNelLog(), 4);
  EXPECT_THAT(Log(),
              HasSubstr(" Routine         : InviaRichiestaPOST\r\n Linea di codice : 30\r\n"));
  EXPECT_EQ(soap_.StatoRichiesta(), stato);
}

}  // namespace
}  // namespace quomaro::test
