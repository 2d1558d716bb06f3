// The reference service against clients that misbehave, talked to as the
// real program it is: dangerous queries, oversized and endless requests,
// absurd names and markup where an identifier belongs.

#include <gmock/gmock.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ProvaOstile.h"
#include "platform/Descrittore.h"
#include "quomaro/Scaricamento.h"
#include "quomaro/clsCA.h"
#include "tests/support/ServizioFiglio.h"

namespace orvane::test::ostile {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class ServizioOstileTest : public ProvaOstile {
 protected:
  static void SetUpTestSuite() {
    ProvaOstile::SetUpTestSuite();
    servizio_ = std::make_unique<ServizioFiglio>();
  }
  static void TearDownTestSuite() {
    servizio_.reset();
    ProvaOstile::TearDownTestSuite();
  }
  void SetUp() override {
    ProvaOstile::SetUp();
    ::setenv("ORVANE_UPDATE_SERVER", servizio_->Server().c_str(), 1);
  }

  // Sends `testa` then `corpo` over a fresh connection; the answer's head.
  static std::string Invia(const std::string& testa, const std::string& corpo) {
    const auto porta = std::stoi(servizio_->Server().substr(servizio_->Server().rfind(':') + 1));
    const platform::Descrittore s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(porta));
    if (::connect(s.Fd(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return {};
    ServerGrezzo::Scrivi(s.Fd(), testa);
    ServerGrezzo::Scrivi(s.Fd(), corpo);
    std::string risposta;
    char buffer[4096];
    for (ssize_t n = 0; (n = ::recv(s.Fd(), buffer, sizeof buffer, 0)) > 0;) {
      risposta.append(buffer, static_cast<std::size_t>(n));
      if (risposta.find("</soap:Envelope>") != std::string::npos) break;
    }
    return risposta;
  }

  static inline std::unique_ptr<ServizioFiglio> servizio_;
};

class FunzioniPericoloseTest
    : public ServizioOstileTest,
      public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(FunzioniPericoloseTest, AreRefusedWithAFaultNamingThemAndTheClientGetsNothing) {
  const auto& [sql, motivo] = GetParam();
  quomaro::clsCA ca;
  const Cronometro cronometro;
  EXPECT_EQ(ca.SelectSQL_ADO(sql), nullptr);
  EXPECT_LT(cronometro.Trascorso(), std::chrono::seconds(3));
  ASSERT_NE(ca.XmlReq(), nullptr);
  EXPECT_EQ(ca.XmlReq()->status(), 500);
  EXPECT_THAT(ca.XmlReq()->responseText(), HasSubstr("Interrogazione non consentita"));
  EXPECT_THAT(ca.XmlReq()->responseText(), HasSubstr(motivo));
  // The fault is an XML answer without a result: one record.
  EXPECT_EQ(RecordNelLog(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Servizio, FunzioniPericoloseTest,
    ::testing::Values(std::pair{"select load_extension('/tmp/x.so')", "load_extension"},
                      std::pair{"select hex(fts3_tokenizer('simple'))", "fts3_tokenizer"},
                      std::pair{"select sqlite_compileoption_get(0)", "sqlite_compileoption_get"},
                      std::pair{"select length(printf('%.*c', 2000000000, 'x'))", "too big"},
                      std::pair{"select fts3_tokenizer('simple', x'0000000000000000')",
                                "fts3_tokenizer"}),
    [](const auto& caso) {
      std::string nome;
      for (const char c : std::string(caso.param.second)) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) nome += c;
      }
      return nome + std::to_string(caso.index);
    });

TEST_F(ServizioOstileTest, AChunkedRequestOfElevenMegabytesIsRefusedWith413) {
  std::string corpo;
  const std::string pezzo(1 << 20, ' ');
  for (int i = 0; i < 11; ++i)
    corpo += "100000\r\n" + pezzo + "\r\n";
  corpo += "0\r\n\r\n";
  const std::string risposta = Invia(
      "POST /ServizioAggiornamenti/ServizioAggiornamenti.php HTTP/1.1\r\nHost: 127.0.0.1\r\n"
      "Content-Type: text/xml\r\nTransfer-Encoding: chunked\r\n\r\n",
      corpo);
  EXPECT_THAT(risposta, ::testing::StartsWith("HTTP/1.1 413"));
  // The service still answers afterwards.
  quomaro::clsCA ca;
  EXPECT_EQ(ca.RichiestaConnessione("ROSSI"), "S");
}

TEST_F(ServizioOstileTest, APackageNameOfFiveThousandCharactersIsNotFound) {
  const quomaro::EsitoScaricamento e = quomaro::Scaricamento().Scarica(
      servizio_->Server() + "/ServizioAggiornamenti/download/Aggiornamento" +
      std::string(5000, '0') + "1.zip");
  EXPECT_EQ(e.stato, 404);
  EXPECT_FALSE(e.Riuscito());
}

TEST_F(ServizioOstileTest, AHistoryPageForASessionWithMarkupShowsItEscaped) {
  const std::string risposta = Invia(
      "GET /cronologia.aspx?session=%3Cscript%3Ealert(1)%3C/script%3E HTTP/1.1\r\n"
      "Host: 127.0.0.1\r\nConnection: close\r\n\r\n",
      "");
  EXPECT_THAT(risposta, ::testing::StartsWith("HTTP/1.1 200"));
  EXPECT_THAT(risposta, Not(HasSubstr("<script>")));
  // The session is shown, as text.
  EXPECT_THAT(risposta, HasSubstr("<code>&lt;script&gt;alert(1)&lt;/script&gt;</code>"));
}

}  // namespace
}  // namespace orvane::test::ostile
