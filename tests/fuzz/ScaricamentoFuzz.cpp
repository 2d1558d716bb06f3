// Any bytes as a download server's answer (status line, headers, body), sent
// by a peer on 127.0.0.1 to the downloader: it may not crash or hang, and
// what it reports must agree with itself and with what was sent. The peer
// is also the downloader's proxy, so that a redirect anywhere comes back to
// it instead of leaving the machine.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "quomaro/Scaricamento.h"

namespace {

class Peer {
 public:
  Peer() {
    ascolto_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in indirizzo{};
    indirizzo.sin_family = AF_INET;
    indirizzo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t lunghezza = sizeof indirizzo;
    if (ascolto_ < 0 ||
        ::bind(ascolto_, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo) != 0 ||
        ::listen(ascolto_, 16) != 0 ||
        ::getsockname(ascolto_, reinterpret_cast<sockaddr*>(&indirizzo), &lunghezza) != 0) {
      std::abort();
    }
    porta_ = ntohs(indirizzo.sin_port);
  }

  [[nodiscard]] int Porta() const { return porta_; }

  // Answers every connection with `risposta` until `finito`.
  void Servi(std::string_view risposta, const std::atomic<bool>& finito) const {
    while (!finito) {
      pollfd p{ascolto_, POLLIN, 0};
      if (::poll(&p, 1, 1) <= 0) continue;
      const int s = ::accept4(ascolto_, nullptr, nullptr, SOCK_CLOEXEC);
      if (s < 0) continue;
      LeggiTesta(s);
      for (std::size_t scritti = 0; scritti < risposta.size();) {
        const ssize_t n =
            ::send(s, risposta.data() + scritti, risposta.size() - scritti, MSG_NOSIGNAL);
        if (n <= 0) break;
        scritti += static_cast<std::size_t>(n);
      }
      ::close(s);
    }
  }

 private:
  // The request's head, read whole so that closing sends no reset.
  static void LeggiTesta(int s) {
    std::string testa;
    char blocco[1024];
    while (testa.find("\r\n\r\n") == std::string::npos) {
      pollfd p{s, POLLIN, 0};
      if (::poll(&p, 1, 1000) <= 0) return;
      const ssize_t n = ::recv(s, blocco, sizeof blocco, 0);
      if (n <= 0) return;
      testa.append(blocco, static_cast<std::size_t>(n));
    }
  }

  int ascolto_ = -1;
  int porta_ = 0;
};

class Letture : public quomaro::DownloadEventi {
 public:
  void DownloadProgressione(long ByteLetti) override {
    if (ByteLetti < ultimo_ || ByteLetti - ultimo_ > 2048) std::abort();
    ultimo_ = ByteLetti;
  }
  [[nodiscard]] long Ultimo() const { return ultimo_; }

 private:
  long ultimo_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
  static const Peer peer;
  static const bool proxy = [] {
    const std::string indirizzo = "http://127.0.0.1:" + std::to_string(peer.Porta());
    ::setenv("http_proxy", indirizzo.c_str(), 1);
    ::setenv("https_proxy", indirizzo.c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
    return true;
  }();
  static_cast<void>(proxy);

  const std::string_view risposta(reinterpret_cast<const char*>(dati), dimensione);
  std::atomic<bool> finito = false;
  std::thread servitore([&] { peer.Servi(risposta, finito); });
  Letture letture;
  const quomaro::Scaricamento scaricamento(
      &letture, {.velocitaMinima = 1, .secondiSottoVelocita = 2, .byteMassimi = 1 << 16});
  const quomaro::EsitoScaricamento esito = scaricamento.Scarica("http://pacchetti.invalid/p.zip");
  finito = true;
  servitore.join();

  const bool completo = esito.fine == quomaro::FineScaricamento::Completo;
  if (esito.ricevuti < 0 || static_cast<std::size_t>(esito.ricevuti) > dimensione) std::abort();
  if (completo && esito.corpo.size() != static_cast<std::size_t>(esito.ricevuti)) std::abort();
  if (!completo && !esito.corpo.empty()) std::abort();
  if (completo && letture.Ultimo() != esito.ricevuti) std::abort();
  if (esito.Riuscito() && (esito.stato < 200 || esito.stato > 299 ||
                           (esito.dichiarati && *esito.dichiarati != esito.ricevuti))) {
    std::abort();
  }
  if (esito.Riuscito() != esito.Descrizione().empty()) std::abort();
  return 0;
}
