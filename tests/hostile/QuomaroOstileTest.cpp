// Quomaro's download call, its support tool, the SOAP transport and the
// service client against peers that misbehave: each case has its defined
// result, no crash and no wait past the time limit, and a failed download
// leaves the file it would replace as it was.

#include <gmock/gmock.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ProvaOstile.h"
#include "quomaro/Host.h"
#include "quomaro/Scaricamento.h"
#include "quomaro/clsCA.h"
#include "quomaro/clsSOAP.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/Processo.h"

namespace orvane::test::ostile {
namespace {

using quomaro::FineScaricamento;
using ::testing::AllOf;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

constexpr long long kMega = 1LL << 20U;
// The seams that keep the suite fast: a trickle is given up after one
// second, an endless body at 8 MB; an answer after two seconds, long enough
// for an endless body to reach the size limit on a busy machine.
const quomaro::LimitiScaricamento kLimiti{
    .velocitaMinima = 512, .secondiSottoVelocita = 1, .byteMassimi = 8 * kMega};
constexpr int kSecondiLimite = 2;
constexpr std::string_view kTimeout = "Connessione al server non disponibile";
constexpr std::string_view kComunicazione = "Errore di comunicazione con il server";
constexpr std::string_view kTroppoGrande = "Risposta del server troppo grande";
const std::string kOk = "HTTP/1.1 200 OK\r\n";
const std::string kCinquemila(5000, 'z');
const std::string kBlocco(std::size_t{1} << 20U, 'x');
const std::string kRisposta = "/ServizioAggiornamenti/ServizioAggiornamenti.php";

std::string Busta(const std::string& interno) {
  return "<?xml version=\"1.0\"?><soap:Envelope "
         "xmlns:soap=\"http://www.w3.org/2001/06/soap-envelope\"><soap:Body><ns1:OPResponse "
         "xmlns:ns1=\"urn:x\">" +
         interno + "</ns1:OPResponse></soap:Body></soap:Envelope>";
}

// `testo` as the text of an element: how the service sends a recordset.
std::string Escapato(const std::string& testo) {
  std::string escapato;
  for (const char c : testo)
    escapato += c == '<' ? "&lt;" : c == '&' ? "&amp;" : c == '\'' ? "&apos;" : std::string(1, c);
  return escapato;
}

Comportamento Xml(const std::string& corpo) {
  return ServerOstile::Risposta(Testa(200, "text/xml", static_cast<long long>(corpo.size())),
                                corpo);
}

// Declarations of a document type whose entity "e" expands to gigabytes.
const std::string kMiliardoDiRisate =
    R"(<!ENTITY a "aaaaaaaaaa">)"
    R"(<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">)"
    R"(<!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;"><!ENTITY e "&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;">)";

// What the download call makes of a misbehaviour; `descrizione` empty when
// it succeeds.
struct Scaricato {
  FineScaricamento fine;
  long stato;
  std::string_view descrizione;
  bool strumento = false;  ///< the support tool is tried on it too
};
// What clsSOAP makes of it: the answer and (a part of) the description;
// and whether an answer that arrived counts as the service's.
struct Soap {
  std::string risposta;
  std::string_view stato;
  bool delServizio = true;
};

// One misbehaviour of a peer, tried on the download call, the SOAP call or both.
struct Caso {
  const char* nome;
  std::function<Comportamento(ServerOstile&)> comportamento;
  std::optional<Scaricato> scaricato;
  std::optional<Soap> soap = std::nullopt;
};

// A misbehaviour that needs no state of the server's.
std::function<Comportamento(ServerOstile&)> Sempre(Comportamento c) {
  return [c = std::move(c)](ServerOstile&) { return c; };
}

const std::vector<Caso> kCasi{
    // An entity that expands to gigabytes, one that reads a file of the
    // machine and a document type fetched from elsewhere: none is expanded
    // or fetched.
    {"EntitaEDoctypeOstili",
     Sempre(Xml(R"(<?xml version="1.0"?><!DOCTYPE r SYSTEM "http://127.0.0.1:1/r.dtd" [)" +
                kMiliardoDiRisate + R"(<!ENTITY x SYSTEM "file:///etc/passwd">]>)" +
                Busta("<return>&e;&x;</return>"))),
     std::nullopt, Soap{"&e;&x;", ""}},
    {"LunghezzaDichiarata10GB",
     [](ServerOstile& s) {
       return s.Flusso(Testa(200, "text/xml", 10240 * kMega), kBlocco, 10240);
     },
     Scaricato{FineScaricamento::TroppoGrande, 200, "file troppo grande", true},
     Soap{"", kTroppoGrande}},
    // Chunks make the declared length void: the byte limit holds.
    {"CorpoSenzaFineAPezzi",
     [](ServerOstile& s) {
       return s.Flusso(kOk +
                           "Content-Type: text/xml\r\nContent-Length: 5000\r\n"
                           "Transfer-Encoding: chunked\r\n",
                       "100000\r\n" + kBlocco + "\r\n", -1);
     },
     Scaricato{FineScaricamento::TroppoGrande, 200, "oltre 8388608 byte"}, Soap{"", kTroppoGrande}},
    // Trailers after the last chunk, without end: libcurl bounds no more than
    // each header block.
    {"CodaSenzaFine",
     [](ServerOstile& s) {
       return s.Flusso(kOk + "Content-Type: text/xml\r\nTransfer-Encoding: chunked\r\n\r\n0",
                       "X-Coda: " + std::string(1000, 't') + "\r\n", -1);
     },
     Scaricato{FineScaricamento::Interrotto, 200, "intestazioni della risposta oltre 1048576 byte",
               true},
     Soap{"", kTroppoGrande}},
    {"UnByteAlSecondo",
     [](ServerOstile& s) { return s.Flusso(Testa(200, "text/xml", 100), "x", 100, 1s); },
     Scaricato{FineScaricamento::Lento, 200, "meno di 512 byte al secondo"}, Soap{"", kTimeout}},
    {"AccettataMaiRisposta", Sempre(ServerOstile::Muto()),
     Scaricato{FineScaricamento::Irraggiungibile, 0, "server non raggiungibile"},
     Soap{"", kTimeout}},
    // A page of a proxy on the way, with a success status.
    {"PaginaHtmlConStato200",
     Sempre(ServerOstile::Risposta(Testa(200, "text/html", 13), "<html></html>")), std::nullopt,
     Soap{"<html></html>", "", false}},
    {"ResetAMetaRisposta",
     Sempre(ServerOstile::Risposta(kOk + "Connection: close\r\n", kCinquemila, true)),
     Scaricato{FineScaricamento::Interrotto, 200, "interrotto dopo 5000 byte"},
     Soap{"", kComunicazione}},
    {"NonHttp", Sempre(ServerOstile::Risposta("SSH-2.0-OpenSSH_9.2\r\n", "")), std::nullopt,
     Soap{"", kComunicazione}},
    {"RedirezioneAltroSchema",
     Sempre(ServerOstile::Risposta(
         "HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n", "")),
     std::nullopt, Soap{"", kComunicazione}},
    {"RedirezioniInCerchio",
     Sempre(ServerOstile::Risposta("HTTP/1.1 302 Found\r\nLocation: /giro.zip\r\nContent-Length: "
                                   "0\r\nConnection: close\r\n",
                                   "")),
     Scaricato{FineScaricamento::Interrotto, 302, "redirect"}},
    {"Troncato", Sempre(ServerOstile::Risposta(Testa(200, "application/zip", 10000), kCinquemila)),
     Scaricato{FineScaricamento::Incompleto, 200, "ricevuti 5000 byte su 10000", true}},
    // A failure that still brings a whole body.
    {"Errore500", Sempre(ServerOstile::Risposta(Testa(500, "application/zip", 4), "<h1>")),
     Scaricato{FineScaricamento::Completo, 500, "HTTP 500", true}},
    // The declared length bounds the body: what follows it is not read.
    {"PiuLungoDelDichiarato",
     Sempre(ServerOstile::Risposta(Testa(200, "application/zip", 4000), kCinquemila)),
     Scaricato{FineScaricamento::Completo, 200, ""}},
};

void PrintTo(const Caso& c, std::ostream* os) {
  *os << c.nome;
}

class QuomaroOstileTest : public ProvaOstile, public ::testing::WithParamInterface<Caso> {};

TEST_P(QuomaroOstileTest, GivesItsDefinedResultWithinTheTimeLimit) {
  const Caso& c = GetParam();
  const std::string url = Server().Url("/Aggiornamento00001.zip");
  if (c.scaricato) {
    const Scaricato& d = *c.scaricato;
    Server().Imposta(c.comportamento(Server()));
    int pompate = 0;
    quomaro::ImpostaPompaMessaggi([&pompate] { ++pompate; });
    const auto inizio = std::chrono::steady_clock::now();
    const quomaro::EsitoScaricamento e = quomaro::Scaricamento(nullptr, kLimiti).Scarica(url);
    const auto durata = std::chrono::steady_clock::now() - inizio;
    quomaro::ImpostaPompaMessaggi({});
    EXPECT_LT(durata, 4s);
    // A download that waits for data keeps the host's window running.
    EXPECT_TRUE(durata < 1s || pompate > 0);
    EXPECT_EQ(e.fine, d.fine) << e.Descrizione();
    EXPECT_EQ(e.stato, d.stato);
    EXPECT_EQ(e.Riuscito(), d.descrizione.empty());
    EXPECT_THAT(e.Descrizione(), HasSubstr(std::string(d.descrizione)));
    // Only a whole body is handed over.
    EXPECT_EQ(static_cast<long long>(e.corpo.size()),
              e.fine == FineScaricamento::Completo ? e.ricevuti : 0);
    EXPECT_LE(e.ricevuti, kLimiti.byteMassimi);
  }
  if (c.scaricato && c.scaricato->strumento) {
    // The support tool exits with 1 and leaves the file, and nothing else.
    Server().Imposta(c.comportamento(Server()));
    const CartellaTemporanea cartella;
    const auto file = cartella / "Aggiornamento00001.zip";
    ScriviFile(file, "pacchetto precedente");
    const Esito t = Esegui(QUOMARO_STRUMENTO, {"scarica", url, file.string()}, {{"no_proxy", "*"}},
                           std::chrono::seconds(20));
    EXPECT_EQ(t.codice, 1) << t.err;
    EXPECT_THAT(t.err, AllOf(HasSubstr(std::string(c.scaricato->descrizione)),
                             HasSubstr("non è stato scritto")));
    EXPECT_EQ(NomiInCartella(cartella.Percorso()),
              std::vector<std::string>{"Aggiornamento00001.zip"});
    EXPECT_EQ(LeggiFile(file), "pacchetto precedente");
  }
  if (c.soap) {
    Server().Imposta(c.comportamento(Server()));
    quomaro::clsSOAP soap;
    soap.ImpostaSecondiAttesaMassima(kSecondiLimite);
    soap.URI(Server().Url(kRisposta));
    const auto inizio = std::chrono::steady_clock::now();
    EXPECT_EQ(soap.InviaRichiestaPOST({"Utente;ROSSI", ""}, "RichiestaConnessione"),
              c.soap->risposta);
    EXPECT_LT(std::chrono::steady_clock::now() - inizio, std::chrono::seconds(kSecondiLimite + 2));
    EXPECT_EQ(soap.StatoRichiesta().empty(), c.soap->stato.empty());
    EXPECT_THAT(soap.StatoRichiesta(), HasSubstr(std::string(c.soap->stato)));
    // What the transfer held stays within the limit on the answer, and the
    // server stopped being read soon after it.
    ASSERT_NE(soap.XmlReq(), nullptr);
    EXPECT_LE(soap.XmlReq()->responseText().size(),
              quomaro::RichiestaHttp::kDimensioneMassimaRisposta);
    EXPECT_LT(Server().Scritti(), 100 * kMega);
    // A statement counts as recorded only when the service answered it.
    if (c.soap->stato.empty()) {
      ::setenv("ORVANE_UPDATE_SERVER", Server().Url("").c_str(), 1);
      EXPECT_EQ(quomaro::clsCA().InviaComandoSQL("insert"), c.soap->delServizio);
    }
  }
  EXPECT_EQ(RecordNelLog(), 0) << Log();
}

INSTANTIATE_TEST_SUITE_P(Peer, QuomaroOstileTest, ::testing::ValuesIn(kCasi),
                         [](const auto& caso) { return std::string(caso.param.nome); });

// "VmRSS" or "VmHWM" of this process, in bytes.
std::size_t Memoria(std::string_view voce) {
  std::ifstream in("/proc/self/status");
  for (std::string riga; std::getline(in, riga);) {
    if (riga.starts_with(voce)) return std::stoul(riga.substr(voce.size() + 1)) * 1024;
  }
  return 0;
}

// Runs one exchange and bounds its peak memory, from the call on (what the
// test itself holds is already in), at twice the answer's size and 32 MB.
template <typename Chiamata>
void AlPiuIlDoppio(std::size_t risposta, Chiamata chiamata) {
  std::ofstream("/proc/self/clear_refs") << "5";
  const std::size_t prima = Memoria("VmRSS:");
  chiamata();
  [[maybe_unused]] const std::size_t picco = Memoria("VmHWM:") - prima;
  // The sanitizer's quarantine keeps freed memory, so peaks are bounded only
  // without it.
#if !defined(ORVANE_SANITIZER)
  EXPECT_LE(picco, 2 * risposta + 32 * kMega) << picco;
#endif
}

TEST_F(ProvaOstile, AnAnswerOfAnyShapeIsReadWithAtMostTwiceItsSizeInMemory) {
  // A recordset's rows as the service escapes them, 60 MB in all: read.
  const std::string riga = "&lt;z:row codice=&quot;42&quot; Filexx=&quot;Stampe&quot;/&gt;";
  std::string testo;
  testo.reserve(60 * kMega);
  while (testo.size() + riga.size() <= 60 * kMega)
    testo += riga;
  // Elements and attributes of a few bytes each (blanks around "=", as XML
  // allows): refused before a tree is built, as an envelope and as a file list.
  std::string elementi = "<r>";
  while (elementi.size() < 60 * kMega)
    elementi += "<a/>";
  elementi += "<return>S</return></r>";
  std::string spaziati = "<r";
  while (spaziati.size() < 60 * kMega)
    spaziati += " a = ''";
  spaziati += "><return>S</return></r>";
  std::string attributi = "<xml><rs:data><z:row";
  while (attributi.size() < 20 * kMega)  // three times that once escaped
    attributi += " a=''";
  attributi += "/></rs:data></xml>";
  const std::string righe = Busta("<return>" + testo + "</return>");
  std::string corpo;
  Server().Imposta([&corpo](int s) {
    static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
    ServerGrezzo::Scrivi(s, Testa(200, "text/xml", static_cast<long long>(corpo.size())) + "\r\n");
    ServerGrezzo::Scrivi(s, corpo);
    return true;
  });
  ::setenv("ORVANE_UPDATE_SERVER", Server().Url("").c_str(), 1);

  std::string risposta;
  const auto chiedi = [&] {
    quomaro::clsSOAP soap;
    soap.URI(Server().Url(kRisposta));
    risposta = soap.InviaRichiestaPOST({"Utente;ROSSI", ""}, "getFILEXX");
  };
  corpo = righe;
  AlPiuIlDoppio(corpo.size(), chiedi);
  EXPECT_EQ(risposta.size(),
            testo.size() / riga.size() *
                std::string_view(R"(<z:row codice="42" Filexx="Stampe"/>)").size());

  for (const std::string* busta : {&elementi, &spaziati}) {
    corpo = *busta;
    AlPiuIlDoppio(corpo.size(), chiedi);
    EXPECT_EQ(risposta, "");
  }

  // A file list of those attributes, or whose recordset hides an entity
  // that expands to gigabytes, stays closed, its text left to read, and
  // nothing is expanded.
  const std::string entita =
      R"(<?xml version="1.0"?><!DOCTYPE r [)" + kMiliardoDiRisate + "]><xml>&e;</xml>";
  const int log = RecordNelLog();
  for (const std::string& lista : {attributi, entita}) {
    corpo = Busta("<return>" + Escapato(lista) + "</return>");
    AlPiuIlDoppio(corpo.size(), [&] {
      quomaro::clsCA ca;
      const auto rs = ca.getFILEXX("ROSSI", "TARVIK");
      ASSERT_NE(rs, nullptr);
      EXPECT_EQ(rs->State(), 0);
      if (lista == entita) {
        EXPECT_EQ(ca.xmlStream(), entita);
      }
    });
  }
  EXPECT_EQ(RecordNelLog(), log) << Log();
}

}  // namespace
}  // namespace orvane::test::ostile
