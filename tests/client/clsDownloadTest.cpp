#include "quomaro/clsDownload.h"

#include <gmock/gmock.h>

#include "ProvaQuomaro.h"

namespace quomaro::test {
namespace {

using ::testing::HasSubstr;

class Registro : public DownloadEventi {
 public:
  void DownloadProgressione(long ByteLetti) override { totali.push_back(ByteLetti); }
  std::vector<long> totali;
};

// Bytes of every value, NUL included.
std::string Binario(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>(i * 7 % 256);
  return s;
}

// The progress events of a body of `n` bytes: one per read of 2048, the
// short one, then the empty one that ends the transfer.
std::vector<long> Letture(long n) {
  std::vector<long> totali;
  for (long t = 2048; t < n; t += 2048)
    totali.push_back(t);
  totali.insert(totali.end(), {n, n});
  return totali;
}

using ClsDownloadTest = ProvaQuomaro;

TEST_F(ClsDownloadTest, GivesACompleteBodyErrorPageIncludedAndReportsEveryRead) {
  ServerHttp server;
  auto& s = server.Server();
  s.Get("/cinquemila",
        [](const auto&, auto& res) { res.set_content(Binario(5000), "application/zip"); });
  s.Get("/vuoto", [](const auto&, auto& res) { res.set_content("", "application/zip"); });
  s.Get("/pezzi", [](const auto&, auto& res) {
    // Chunked, in pieces that never line up with the reads.
    res.set_chunked_content_provider("application/zip", [](std::size_t inizio, auto& sink) {
      if (inizio >= 77700) {
        sink.done();
      } else {
        sink.write(Binario(77700).data() + inizio, 777);
      }
      return true;
    });
  });
  s.Get("/mancante", [](const auto&, auto& res) {
    res.status = 404;
    res.set_content("<h1>Non trovato</h1>", "text/html");
  });
  s.Get("/interrotto", [](const auto&, auto& res) {
    res.set_content_provider(10000, "application/zip",
                             [](std::size_t inizio, std::size_t, auto& sink) {
                               if (inizio >= 5000) return false;
                               sink.write(Binario(5000).data(), 5000);
                               return true;
                             });
  });
  // It asks as the original client did, past any cache.
  s.Get("/intestazioni", [](const auto& req, auto& res) {
    res.set_content(req.method + "|" + req.get_header_value("User-Agent") + "|" +
                        req.get_header_value("Cache-Control") + "|" +
                        req.get_header_value("Pragma"),
                    "text/plain");
  });
  server.Avvia();
  const std::string intestazioni = "GET|VB Project|no-cache|no-cache";
  struct Caso {
    std::string url;
    std::string corpo;
    std::vector<long> totali;
  };
  const std::vector<Caso> casi{
      {server.Url("/cinquemila"), Binario(5000), Letture(5000)},
      {server.Url("/pezzi"), Binario(77700), Letture(77700)},
      {server.Url("/mancante"), "<h1>Non trovato</h1>", Letture(20)},
      {server.Url("/intestazioni"), intestazioni, Letture(32)},
      // A broken transfer is no content, though the reads before the break
      // were reported.
      {server.Url("/interrotto"), "", Letture(5000)},
      // Nothing to read: one event with zero.
      {server.Url("/vuoto"), "", {0}},
      {UrlChiuso("/x.zip"), "", {0}},
      {"ftp://127.0.0.1/x.zip", "", {0}},
      {"%%%", "", {0}},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.url);
    Registro registro;
    clsDownload download;
    download.ImpostaEventi(&registro);
    EXPECT_TRUE(download.OpenURL(c.url) == c.corpo);
    EXPECT_EQ(registro.totali, c.totali);
  }
  EXPECT_EQ(RecordNelLog(), 0);
}

TEST_F(ClsDownloadTest, BodyBeyondTheRangeOfTheCountIsALoggedFailure) {
  ServerGrezzo enorme([](int s) {
    static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
    ServerGrezzo::Scrivi(s, "HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\nPK");
    return true;
  });
  EXPECT_EQ(clsDownload().OpenURL(enorme.Url("/enorme.zip")), "");
  EXPECT_EQ(RecordNelLog(), 1);
  EXPECT_THAT(Log(), HasSubstr(" Errore numero   : 6\r\n Descrizione     : Overflow\r\n"));
  EXPECT_THAT(Log(), HasSubstr(" Modulo          : clsDownload\r\n Routine         : OpenURL\r\n"));
}

}  // namespace
}  // namespace quomaro::test
