#include "quomaro/clsDownload.h"

#include <gmock/gmock.h>

#include "ProvaQuomaro.h"
#include "tests/support/ServerDiProva.h"

namespace quomaro::test {
namespace {

using ::testing::ElementsAre;
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

class ClsDownloadTest : public ProvaQuomaro {
 protected:
  void SetUp() override {
    ProvaQuomaro::SetUp();
    auto& s = server_.Server();
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
    s.Get("/intestazioni", [](const auto& req, auto& res) {
      res.set_content(req.method + "|" + req.get_header_value("User-Agent") + "|" +
                          req.get_header_value("Cache-Control") + "|" +
                          req.get_header_value("Pragma"),
                      "text/plain");
    });
    server_.Avvia();
    download_.ImpostaEventi(&registro_);
  }

  ServerHttp server_;
  clsDownload download_;
  Registro registro_;
};

TEST_F(ClsDownloadTest, BodyComesInReadsOf2048ThenTheShortOneThenTheEmptyOne) {
  EXPECT_TRUE(download_.OpenURL(server_.Url("/cinquemila")) == Binario(5000));
  EXPECT_THAT(registro_.totali, ElementsAre(2048, 4096, 5000, 5000));

  registro_.totali.clear();
  EXPECT_TRUE(download_.OpenURL(server_.Url("/pezzi")) == Binario(77700));
  std::vector<long> attesi;
  for (long t = 2048; t <= 77700; t += 2048)
    attesi.push_back(t);
  attesi.push_back(77700);
  attesi.push_back(77700);
  EXPECT_EQ(registro_.totali, attesi);
  EXPECT_EQ(RecordNelLog(), 0);
}

TEST_F(ClsDownloadTest, NothingToReadGivesOneEventWithZeroAndAnEmptyString) {
  for (const std::string& url : {server_.Url("/vuoto"), UrlChiuso("/x.zip"),
                                 std::string("ftp://127.0.0.1/x.zip"), std::string("%%%")}) {
    SCOPED_TRACE(url);
    registro_.totali.clear();
    EXPECT_EQ(download_.OpenURL(url), "");
    EXPECT_THAT(registro_.totali, ElementsAre(0));
  }
  EXPECT_EQ(RecordNelLog(), 0);
}

TEST_F(ClsDownloadTest, ErrorPageIsContentButABrokenTransferIsNot) {
  EXPECT_EQ(download_.OpenURL(server_.Url("/mancante")), "<h1>Non trovato</h1>");

  registro_.totali.clear();
  EXPECT_EQ(download_.OpenURL(server_.Url("/interrotto")).size(), 0u);
  // The reads made before the break were reported.
  ASSERT_FALSE(registro_.totali.empty());
  EXPECT_EQ(registro_.totali.front(), 2048);
  EXPECT_EQ(registro_.totali.back(), 5000);
  EXPECT_EQ(RecordNelLog(), 0);
}

TEST_F(ClsDownloadTest, AsksTheServerItselfAsTheOriginalClient) {
  download_.ImpostaEventi(nullptr);
  EXPECT_EQ(download_.OpenURL(server_.Url("/intestazioni")), "GET|VB Project|no-cache|no-cache");
}

TEST_F(ClsDownloadTest, BodyBeyondTheRangeOfTheCountIsALoggedFailure) {
  ServerGrezzo enorme([](int s) {
    static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
    ServerGrezzo::Scrivi(s, "HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\nPK");
    return true;
  });
  EXPECT_EQ(download_.OpenURL(enorme.Url("/enorme.zip")), "");
  EXPECT_EQ(RecordNelLog(), 1);
  EXPECT_THAT(Log(), HasSubstr(" Errore numero   : 6\r\n Descrizione     : Overflow\r\n"));
  EXPECT_THAT(Log(), HasSubstr(" Modulo          : clsDownload\r\n Routine         : OpenURL\r\n"));
}

}  // namespace
}  // namespace quomaro::test
