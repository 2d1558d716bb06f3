#include "quomaro/Scaricamento.h"

#include <gmock/gmock.h>
#include <sys/socket.h>

#include <chrono>
#include <optional>
#include <thread>

#include "ProvaQuomaro.h"

namespace quomaro::test {
namespace {

using ::testing::HasSubstr;

// A peer that writes `testa` and `corpo`, then closes: with a reset when
// `reset`, so that the reader sees a broken connection, not an end.
ServerGrezzo Peer(std::string testa, std::string corpo, bool reset = false) {
  return ServerGrezzo([testa = std::move(testa), corpo = std::move(corpo), reset](int s) {
    static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
    ServerGrezzo::Scrivi(s, testa + "\r\n" + corpo);
    if (reset) {
      // Let the body reach the reader before the reset does.
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      const linger subito{1, 0};
      ::setsockopt(s, SOL_SOCKET, SO_LINGER, &subito, sizeof subito);
    }
    return true;
  });
}

class ScaricamentoTest : public ProvaQuomaro {};

TEST_F(ScaricamentoTest, ReportsStatusLengthsAndWhyTheTransferStopped) {
  const std::string cinquemila(5000, 'x');
  struct Caso {
    const char* nome;
    ServerGrezzo peer;
    long stato;
    std::optional<long long> dichiarati;
    long long ricevuti;
    FineScaricamento fine;
    const char* descrizione;
  };
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  Caso casi[] = {
      {"intero", Peer(ok + "Content-Length: 5000\r\n", cinquemila), 200, 5000, 5000,
       FineScaricamento::Completo, ""},
      {"vuoto", Peer(ok + "Content-Length: 0\r\n", ""), 200, 0, 0, FineScaricamento::Completo, ""},
      {"errore", Peer("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n", "nome"), 404, 4, 4,
       FineScaricamento::Completo, "il server risponde HTTP 404"},
      {"scelta", Peer("HTTP/1.1 300 Multiple Choices\r\nContent-Length: 4\r\n", "nome"), 300, 4, 4,
       FineScaricamento::Completo, "il server risponde HTTP 300"},
      {"non modificato", Peer("HTTP/1.1 304 Not Modified\r\n", ""), 304, 0, 0,
       FineScaricamento::Completo, "il server risponde HTTP 304"},
      {"corto", Peer(ok + "Content-Length: 10000\r\n", cinquemila), 200, 10000, 5000,
       FineScaricamento::Incompleto, "ricevuti 5000 byte su 10000"},
      {"a pezzi troncato", Peer(ok + "Transfer-Encoding: chunked\r\n", "5\r\nabcde\r\n"), 200,
       std::nullopt, 5, FineScaricamento::Incompleto, "download incompleto"},
      {"senza lunghezza, reset", Peer(ok + "Connection: close\r\n", cinquemila, true), 200,
       std::nullopt, 5000, FineScaricamento::Interrotto, "interrotto dopo 5000 byte"},
  };
  for (auto& c : casi) {
    SCOPED_TRACE(c.nome);
    const EsitoScaricamento e = Scaricamento().Scarica(c.peer.Url("/p.zip"));
    EXPECT_EQ(e.stato, c.stato);
    EXPECT_EQ(e.dichiarati, c.dichiarati);
    EXPECT_EQ(e.ricevuti, c.ricevuti);
    EXPECT_EQ(e.fine, c.fine);
    EXPECT_EQ(e.Riuscito(), std::string_view(c.descrizione).empty());
    EXPECT_THAT(e.Descrizione(), HasSubstr(c.descrizione));
    // Only a complete answer hands over its body.
    EXPECT_EQ(e.corpo.size(),
              e.fine == FineScaricamento::Completo ? static_cast<std::size_t>(c.ricevuti) : 0U);
  }
  const EsitoScaricamento assente = Scaricamento().Scarica(UrlChiuso("/p.zip"));
  EXPECT_EQ(assente.fine, FineScaricamento::Irraggiungibile);
  EXPECT_EQ(assente.stato, 0);
  EXPECT_THAT(assente.Descrizione(), HasSubstr("server non raggiungibile"));
}

TEST_F(ScaricamentoTest, ABodyOfTheLimitArrivesAndOneByteMoreIsRefused) {
  constexpr long long kLimite = 5000;
  const Scaricamento s(nullptr, {.byteMassimi = kLimite});
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  for (const bool dichiarata : {true, false}) {
    for (const long long n : {kLimite, kLimite + 1}) {
      SCOPED_TRACE(std::to_string(n) + (dichiarata ? " declared" : " undeclared"));
      const ServerGrezzo peer =
          Peer(ok + (dichiarata ? "Content-Length: " + std::to_string(n) + "\r\n"
                                : std::string("Connection: close\r\n")),
               std::string(static_cast<std::size_t>(n), 'x'));
      const EsitoScaricamento e = s.Scarica(peer.Url("/p.zip"));
      EXPECT_EQ(e.Riuscito(), n == kLimite);
      EXPECT_EQ(e.fine, n == kLimite ? FineScaricamento::Completo : FineScaricamento::TroppoGrande);
      EXPECT_EQ(e.corpo.size(), n == kLimite ? static_cast<std::size_t>(n) : 0U);
    }
  }
  // A body without end stops there too.
  ServerHttp server;
  server.Server().Get("/infinito", [](const auto&, auto& res) {
    res.set_chunked_content_provider("application/zip", [](std::size_t, auto& sink) {
      static const std::string blocco(64 * 1024, 'x');
      return sink.write(blocco.data(), blocco.size());
    });
  });
  server.Avvia();
  const EsitoScaricamento infinito = s.Scarica(server.Url("/infinito"));
  EXPECT_EQ(infinito.fine, FineScaricamento::TroppoGrande);
  EXPECT_LE(infinito.ricevuti, kLimite);
  EXPECT_TRUE(infinito.corpo.empty());
  EXPECT_THAT(infinito.Descrizione(), HasSubstr("oltre 5000 byte"));
}

}  // namespace
}  // namespace quomaro::test
