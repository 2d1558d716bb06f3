// Downloads against a server that misbehaves: the download call says what
// happened, and the support tool fails leaving the file as it was.

#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ProvaOstile.h"
#include "quomaro/Scaricamento.h"
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
const std::string kOk = "HTTP/1.1 200 OK\r\n";
const std::string kZip = "application/zip";

struct CasoScaricamento {
  const char* nome;
  std::function<Comportamento(ServerOstile&)> comportamento;
  FineScaricamento fine;
  long stato;
  std::string_view descrizione;  ///< empty: the download succeeds
  bool strumento = false;        ///< the support tool is tried on it too
};

void PrintTo(const CasoScaricamento& c, std::ostream* os) {
  *os << c.nome;
}

const std::vector<CasoScaricamento> kCasiScaricamento{
    {"Troncato", [](auto&) { return ServerOstile::Risposta(Testa(200, kZip, 10000), kCinquemila); },
     FineScaricamento::Incompleto, 200, "ricevuti 5000 byte su 10000", true},
    // A failure that still brings a whole body.
    {"Errore500", [](auto&) { return ServerOstile::Risposta(Testa(500, kZip, 4), "<h1>"); },
     FineScaricamento::Completo, 500, "HTTP 500", true},
    // The declared length bounds the body: what follows it is not read.
    {"PiuLungoDelDichiarato",
     [](auto&) { return ServerOstile::Risposta(Testa(200, kZip, 4000), kCinquemila); },
     FineScaricamento::Completo, 200, ""},
    // Chunks make the declared length void: the byte limit holds.
    {"PiuLungoDelDichiaratoAPezzi",
     [](ServerOstile& s) {
       return s.Flusso(kOk + "Content-Length: 5000\r\nTransfer-Encoding: chunked\r\n", -1, true);
     },
     FineScaricamento::TroppoGrande, 200, "oltre 8388608 byte"},
    {"TroncatoSenzaLunghezza",
     [](auto&) { return ServerOstile::Reset(kOk + "Connection: close\r\n", kCinquemila); },
     FineScaricamento::Interrotto, 200, "interrotto dopo 5000 byte"},
    {"UnByteAlSecondo",
     [](ServerOstile& s) { return s.Goccia(Testa(200, kZip, 100), std::string(100, 'x'), 1s); },
     FineScaricamento::Lento, 200, "meno di 512 byte al secondo"},
    {"AccettataMaiRisposta", [](auto&) { return ServerOstile::Muto(); },
     FineScaricamento::Irraggiungibile, 0, "server non raggiungibile"},
    {"LunghezzaDichiarata10GB",
     [](ServerOstile& s) { return s.Flusso(Testa(200, kZip, 10240 * kMega), 10240 * kMega); },
     FineScaricamento::TroppoGrande, 200, "file troppo grande", true},
    {"RedirezioniInCerchio",
     [](auto&) {
       return ServerOstile::Risposta(
           "HTTP/1.1 302 Found\r\nLocation: /giro.zip\r\nContent-Length: 0\r\nConnection: "
           "close\r\n",
           "");
     },
     FineScaricamento::Interrotto, 302, "redirect"},
    {"ResetSubito", [](auto&) { return ServerOstile::Reset("", ""); },
     FineScaricamento::Irraggiungibile, 0, "server non raggiungibile"},
};

class ScaricamentoOstileTest : public ProvaOstile,
                               public ::testing::WithParamInterface<CasoScaricamento> {};

TEST_P(ScaricamentoOstileTest, SaysWhyItStoppedAndHandsOverOnlyAWholeBody) {
  const CasoScaricamento& c = GetParam();
  const std::string url = Server().Url("/Aggiornamento00001.zip");
  Server().Imposta(c.comportamento(Server()));
  const Cronometro cronometro;
  const quomaro::EsitoScaricamento e = quomaro::Scaricamento(nullptr, kLimiti).Scarica(url);
  EXPECT_LT(cronometro.Trascorso(), 4s);
  EXPECT_EQ(e.fine, c.fine) << e.Descrizione();
  EXPECT_EQ(e.stato, c.stato);
  EXPECT_EQ(e.Riuscito(), c.descrizione.empty());
  EXPECT_THAT(e.Descrizione(), HasSubstr(std::string(c.descrizione)));
  EXPECT_EQ(static_cast<long long>(e.corpo.size()),
            e.fine == FineScaricamento::Completo ? e.ricevuti : 0);
  EXPECT_LE(e.ricevuti, kLimiti.byteMassimi);
  EXPECT_EQ(RecordNelLog(), 0);
  if (!c.strumento) return;

  // The support tool exits with 1 and leaves the file, and nothing else.
  Server().Imposta(c.comportamento(Server()));
  const CartellaTemporanea cartella;
  const auto file = cartella.Percorso() / "Aggiornamento00001.zip";
  ScriviFile(file, "pacchetto precedente");
  const Esito t = Esegui(QUOMARO_STRUMENTO, {"scarica", url, file.string()}, {{"no_proxy", "*"}},
                         std::chrono::seconds(20));
  EXPECT_EQ(t.codice, 1) << t.err;
  EXPECT_THAT(t.err, HasSubstr(std::string(c.descrizione)));
  EXPECT_THAT(t.err, HasSubstr("non è stato scritto"));
  EXPECT_EQ(LeggiFile(file), "pacchetto precedente");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(cartella.Percorso()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Pacchetti, ScaricamentoOstileTest, ::testing::ValuesIn(kCasiScaricamento),
                         [](const auto& caso) { return std::string(caso.param.nome); });

}  // namespace
}  // namespace orvane::test::ostile
