// Downloads against a server that misbehaves: the download call says what
// happened, clsDownload keeps its contract, and the support tool fails
// leaving the file as it was.

#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ProvaOstile.h"
#include "quomaro/Scaricamento.h"
#include "quomaro/clsDownload.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/Processo.h"

namespace orvane::test::ostile {
namespace {

using quomaro::FineScaricamento;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

constexpr long long kMega = 1LL << 20U;
// The seams that keep the suite fast: a trickle is given up after one
// second, an endless body at 8 MB.
const quomaro::LimitiScaricamento kLimiti{
    .velocitaMinima = 512, .secondiSottoVelocita = 1, .byteMassimi = 8 * kMega};

const std::string kCinquemila(5000, 'z');

Comportamento Zip(int stato, const std::string& corpo) {
  return ServerOstile::Risposta(
      Testa(stato, "application/zip", static_cast<long long>(corpo.size())), corpo);
}

// A server that answers HEAD with `testa` and GET with `risposta`.
Comportamento TestaPoi(std::string testa, std::string risposta) {
  return [testa = std::move(testa), risposta = std::move(risposta)](int s) {
    const std::string richiesta = ServerGrezzo::LeggiRichiesta(s);
    ServerGrezzo::Scrivi(s, richiesta.starts_with("HEAD") ? testa : risposta);
    return true;
  };
}

// HEAD announces an empty package, GET brings a body cut in half.
Comportamento TestaVuotaPoiTroncato() {
  return TestaPoi(Testa(200, "application/zip", 0) + "\r\n",
                  Testa(200, "application/zip", 10000) + "\r\n" + kCinquemila);
}

struct CasoScaricamento {
  const char* nome;
  std::function<Comportamento(ServerOstile&)> comportamento;
  FineScaricamento fine;
  long stato;
  bool riuscito;
  std::string_view descrizione;
};

void PrintTo(const CasoScaricamento& c, std::ostream* os) {
  *os << c.nome;
}

const std::string kOk = "HTTP/1.1 200 OK\r\n";

const std::vector<CasoScaricamento> kCasiScaricamento{
    {"Troncato",
     [](auto&) {
       return ServerOstile::Risposta(Testa(200, "application/zip", 10000), kCinquemila);
     },
     FineScaricamento::Incompleto, 200, false, "ricevuti 5000 byte su 10000"},
    {"Errore404", [](auto&) { return Zip(404, "<h1>Non trovato</h1>"); },
     FineScaricamento::Completo, 404, false, "HTTP 404"},
    {"Errore500", [](auto&) { return Zip(500, "<h1>Errore</h1>"); }, FineScaricamento::Completo,
     500, false, "HTTP 500"},
    {"Errore404SenzaLunghezza",
     [](auto&) {
       return ServerOstile::Risposta("HTTP/1.1 404 Not Found\r\nConnection: close\r\n",
                                     "<h1>Non trovato</h1>");
     },
     FineScaricamento::Completo, 404, false, "HTTP 404"},
    {"PaginaHtmlAlPostoDelPacchetto",
     [](auto&) { return ServerOstile::Risposta(Testa(200, "text/html", 13), "<html></html>"); },
     FineScaricamento::Completo, 200, true, ""},
    {"PiuCortoDelDichiarato",
     [](auto&) { return ServerOstile::Risposta(Testa(200, "application/zip", 5001), kCinquemila); },
     FineScaricamento::Incompleto, 200, false, "ricevuti 5000 byte su 5001"},
    // The declared length bounds the body: what follows it is not read.
    {"PiuLungoDelDichiarato",
     [](auto&) { return ServerOstile::Risposta(Testa(200, "application/zip", 4000), kCinquemila); },
     FineScaricamento::Completo, 200, true, ""},
    // Chunks make the declared length void: the byte limit holds.
    {"PiuLungoDelDichiaratoAPezzi",
     [](ServerOstile& s) {
       return s.Flusso(kOk + "Content-Length: 5000\r\nTransfer-Encoding: chunked\r\n", -1, true);
     },
     FineScaricamento::TroppoGrande, 200, false, "oltre 8388608 byte"},
    {"TestaConZeroBytePoiTroncato", [](auto&) { return TestaVuotaPoiTroncato(); },
     FineScaricamento::Incompleto, 200, false, "ricevuti 5000 byte su 10000"},
    {"TroncatoSenzaLunghezza",
     [](auto&) { return ServerOstile::Reset(kOk + "Connection: close\r\n", kCinquemila); },
     FineScaricamento::Interrotto, 200, false, "interrotto dopo 5000 byte"},
    {"TroncatoAPezzi",
     [](auto&) {
       return ServerOstile::Risposta(kOk + "Transfer-Encoding: chunked\r\n", "5\r\nabcde\r\n");
     },
     FineScaricamento::Incompleto, 200, false, "download incompleto"},
    {"UnByteAlSecondo",
     [](ServerOstile& s) {
       return s.Goccia(Testa(200, "application/zip", 100), std::string(100, 'x'), 1s);
     },
     FineScaricamento::Lento, 200, false, "meno di 512 byte al secondo"},
    {"AccettataMaiRisposta", [](auto&) { return ServerOstile::Muto(); },
     FineScaricamento::Irraggiungibile, 0, false, "server non raggiungibile"},
    {"LunghezzaDichiarata10GB",
     [](ServerOstile& s) {
       return s.Flusso(Testa(200, "application/zip", 10240 * kMega), 10240 * kMega);
     },
     FineScaricamento::TroppoGrande, 200, false, "file troppo grande"},
    {"CorpoSenzaFine",
     [](ServerOstile& s) { return s.Flusso(kOk + "Transfer-Encoding: chunked\r\n", -1, true); },
     FineScaricamento::TroppoGrande, 200, false, "oltre 8388608 byte"},
    {"RedirezioniInCerchio",
     [](auto&) {
       return ServerOstile::Risposta(
           "HTTP/1.1 302 Found\r\nLocation: /giro.zip\r\nContent-Length: 0\r\nConnection: "
           "close\r\n",
           "");
     },
     FineScaricamento::Interrotto, 302, false, "redirect"},
    {"ResetSubito", [](auto&) { return ServerOstile::Reset("", ""); },
     FineScaricamento::Irraggiungibile, 0, false, "server non raggiungibile"},
};

class ScaricamentoOstileTest : public ProvaOstile,
                               public ::testing::WithParamInterface<CasoScaricamento> {};

TEST_P(ScaricamentoOstileTest, SaysWhyItStoppedAndHandsOverOnlyAWholeBody) {
  const CasoScaricamento& c = GetParam();
  Server().Imposta(c.comportamento(Server()));
  const Cronometro cronometro;
  const quomaro::EsitoScaricamento e =
      quomaro::Scaricamento(nullptr, kLimiti).Scarica(Server().Url("/Aggiornamento00001.zip"));
  EXPECT_LT(cronometro.Trascorso(), 4s);
  EXPECT_EQ(e.fine, c.fine) << e.Descrizione();
  EXPECT_EQ(e.stato, c.stato);
  EXPECT_EQ(e.Riuscito(), c.riuscito);
  EXPECT_THAT(e.Descrizione(), HasSubstr(std::string(c.descrizione)));
  EXPECT_EQ(static_cast<long long>(e.corpo.size()),
            e.fine == FineScaricamento::Completo ? e.ricevuti : 0);
  EXPECT_LE(e.ricevuti, kLimiti.byteMassimi);
  EXPECT_EQ(RecordNelLog(), 0);
}

INSTANTIATE_TEST_SUITE_P(Pacchetti, ScaricamentoOstileTest, ::testing::ValuesIn(kCasiScaricamento),
                         [](const auto& caso) { return std::string(caso.param.nome); });

// clsDownload trusts the body, not what HEAD announced.
TEST_F(ProvaOstile, ClsDownloadGivesNothingForABodyCutShortAfterAnEmptyHead) {
  Server().Imposta(TestaVuotaPoiTroncato());
  EXPECT_EQ(quomaro::clsDownload().OpenURL(Server().Url("/Aggiornamento00001.zip")), "");
  EXPECT_EQ(RecordNelLog(), 0);
}

// --- The support tool --------------------------------------------------------

struct CasoStrumento {
  const char* nome;
  std::function<Comportamento(ServerOstile&)> comportamento;
  std::string_view errore;
};

void PrintTo(const CasoStrumento& c, std::ostream* os) {
  *os << c.nome;
}

const std::vector<CasoStrumento> kCasiStrumento{
    {"Troncato",
     [](auto&) {
       return ServerOstile::Risposta(Testa(200, "application/zip", 10000), kCinquemila);
     },
     "ricevuti 5000 byte su 10000"},
    {"Errore404SenzaLunghezza",
     [](auto&) {
       return ServerOstile::Risposta("HTTP/1.1 404 Not Found\r\nConnection: close\r\n",
                                     "<h1>Non trovato</h1>");
     },
     "HTTP 404"},
    {"Errore500", [](auto&) { return Zip(500, "<h1>Errore</h1>"); }, "HTTP 500"},
    {"TroncatoSenzaLunghezza",
     [](auto&) { return ServerOstile::Reset(kOk + "Connection: close\r\n", kCinquemila); },
     "interrotto"},
    {"LunghezzaDichiarata10GB",
     [](ServerOstile& s) {
       return s.Flusso(Testa(200, "application/zip", 10240 * kMega), 10240 * kMega);
     },
     "file troppo grande"},
    {"RedirezioniInCerchio",
     [](auto&) {
       return ServerOstile::Risposta(
           "HTTP/1.1 302 Found\r\nLocation: /giro.zip\r\nContent-Length: 0\r\nConnection: "
           "close\r\n",
           "");
     },
     "redirect"},
    {"TestaConZeroBytePoiTroncato", [](auto&) { return TestaVuotaPoiTroncato(); },
     "ricevuti 5000 byte su 10000"},
    {"TestaRifiutataPoi404",
     [](auto&) {
       return TestaPoi("HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n",
                       Testa(404, "text/html", 20) + "\r\n<h1>Non trovato</h1>");
     },
     "HTTP 404"},
    {"TroncatoAPezzi",
     [](auto&) {
       return ServerOstile::Risposta(kOk + "Transfer-Encoding: chunked\r\n", "5\r\nabcde\r\n");
     },
     "download incompleto"},
};

class StrumentoOstileTest : public ProvaOstile,
                            public ::testing::WithParamInterface<CasoStrumento> {};

TEST_P(StrumentoOstileTest, ScaricaExitsWithOneAndLeavesTheFileAsItWas) {
  const CasoStrumento& c = GetParam();
  Server().Imposta(c.comportamento(Server()));
  const CartellaTemporanea cartella;
  const auto file = cartella.Percorso() / "Aggiornamento00001.zip";
  { std::ofstream(file) << "pacchetto precedente"; }
  const Esito e =
      Esegui(QUOMARO_STRUMENTO, {"scarica", Server().Url("/Aggiornamento00001.zip"), file.string()},
             {{"no_proxy", "*"}}, std::chrono::seconds(20));
  EXPECT_EQ(e.codice, 1) << e.err;
  EXPECT_THAT(e.err, HasSubstr(std::string(c.errore)));
  EXPECT_THAT(e.err, HasSubstr("non è stato scritto"));
  EXPECT_EQ(LeggiFile(file), "pacchetto precedente");
  // Nothing else was left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(cartella.Percorso()),
                          std::filesystem::directory_iterator()),
            1);
}

INSTANTIATE_TEST_SUITE_P(Pacchetti, StrumentoOstileTest, ::testing::ValuesIn(kCasiStrumento),
                         [](const auto& caso) { return std::string(caso.param.nome); });

}  // namespace
}  // namespace orvane::test::ostile
