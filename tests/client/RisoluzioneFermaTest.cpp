// A name server that never answers, in-process: this program's getaddrinfo
// holds one name until the test lets it go, and passes every other name to
// the C library's.
#include <dlfcn.h>
#include <netdb.h>

#include <gmock/gmock.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "ProvaQuomaro.h"
#include "quomaro/Host.h"
#include "quomaro/RichiestaHttp.h"
#include "quomaro/Scaricamento.h"
#include "quomaro/clsSOAP.h"

namespace {

constexpr std::string_view kNomeFermo = "risoluzione-ferma.invalid";

std::mutex g_mutex;
std::condition_variable g_cambio;
bool g_inAttesa = false;
bool g_libera = false;

}  // namespace

extern "C" __attribute__((visibility("default"))) int getaddrinfo(const char* nome,
                                                                  const char* servizio,
                                                                  const addrinfo* richiesta,
                                                                  addrinfo** risultato) {
  if (nome == nullptr || std::string_view(nome) != kNomeFermo) {
    using Funzione = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const auto reale = reinterpret_cast<Funzione>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    return reale(nome, servizio, richiesta, risultato);
  }
  std::unique_lock lock(g_mutex);
  g_inAttesa = true;
  g_cambio.notify_all();
  // A caller that waits for the lookup is let go at last, and fails.
  g_cambio.wait_for(lock, std::chrono::seconds(20), [] { return g_libera; });
  g_inAttesa = false;
  g_cambio.notify_all();
  return EAI_AGAIN;
}

namespace quomaro::test {
namespace {

bool RisoluzioneInAttesa() {
  const std::scoped_lock lock(g_mutex);
  return g_inAttesa;
}

void LiberaRisoluzione() {
  std::unique_lock lock(g_mutex);
  g_libera = true;
  g_cambio.notify_all();
  g_cambio.wait(lock, [] { return !g_inAttesa; });
  g_libera = false;
}

class RisoluzioneFermaTest : public ProvaQuomaro {
 protected:
  void TearDown() override {
    LiberaRisoluzione();
    quomaro::ImpostaFineRichiesta({});
    ProvaQuomaro::TearDown();
  }
};

// The program ends (the session's end) while the server's name is being
// looked up: the exchange, the download or a synchronous request gives up
// and its objects go without waiting for the lookup to end.
TEST_F(RisoluzioneFermaTest, TheProgramsEndIsNotHeldByALookupThatNeverEnds) {
  const std::string url = "http://" + std::string(kNomeFermo) + "/p";
  quomaro::ImpostaFineRichiesta([] { return RisoluzioneInAttesa(); });
  const std::pair<const char*, std::function<void()>> casi[] = {
      {"scambio SOAP",
       [&] {
         clsSOAP soap;
         soap.URI(url);
         EXPECT_EQ(soap.InviaRichiestaPOST({"Utente;ROSSI", ""}, "RichiestaConnessione"), "");
         EXPECT_EQ(soap.StatoRichiesta(), "Richiesta abbandonata: il programma sta terminando");
       }},
      {"scaricamento",
       [&] { EXPECT_EQ(Scaricamento().Scarica(url).fine, FineScaricamento::Abbandonato); }},
      {"richiesta sincrona",
       [&] {
         RichiestaHttp richiesta;
         richiesta.open("POST", url, false);
         richiesta.send("");
         EXPECT_EQ(richiesta.readyState(), 4);
         EXPECT_EQ(richiesta.DescrizioneErrore(),
                   "Richiesta abbandonata: il programma sta terminando");
       }},
  };
  for (const auto& [nome, caso] : casi) {
    SCOPED_TRACE(nome);
    caso();
    EXPECT_TRUE(RisoluzioneInAttesa());
    LiberaRisoluzione();
  }
}

// A host's function that removes itself once it has said so.
TEST_F(RisoluzioneFermaTest, TheHostsFunctionMayRemoveItself) {
  const std::string motivo(64, 'x');
  quomaro::ImpostaFineRichiesta([motivo] {
    quomaro::ImpostaFineRichiesta({});
    return motivo.size() == 64;
  });
  EXPECT_TRUE(quomaro::ProgrammaInChiusura());
  EXPECT_FALSE(quomaro::ProgrammaInChiusura());
}

}  // namespace
}  // namespace quomaro::test
