#pragma once

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "tests/support/ServerDiProva.h"

namespace orvane::test::ostile {

/// What the hostile server does with one connection: true closes the socket
/// afterwards, false leaves it open and unanswered until the server goes.
using Comportamento = std::function<bool(int socket)>;

/// A loopback server that the tests switch between misbehaviours while real
/// Quomaro objects talk to it. Connections are served one at a time.
class ServerOstile {
 public:
  ServerOstile() = default;
  ~ServerOstile() { fermo_ = true; }
  ServerOstile(const ServerOstile&) = delete;
  ServerOstile& operator=(const ServerOstile&) = delete;

  /// The behaviour for the connections that come from now on.
  void Imposta(Comportamento comportamento) {
    const std::scoped_lock lock(mutex_);
    attuale_ = std::move(comportamento);
    scritti_ = 0;
  }
  [[nodiscard]] std::string Url(std::string_view percorso) const { return grezzo_.Url(percorso); }

  /// Reads the request, writes `testa` (status line and headers, each
  /// ending in CR LF), the blank line and `corpo`, then closes, or with
  /// `reset` resets the connection.
  static Comportamento Risposta(std::string testa, std::string corpo, bool reset = false) {
    return [testa = std::move(testa), corpo = std::move(corpo), reset](int s) {
      static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
      ServerGrezzo::Scrivi(s, testa + "\r\n" + corpo);
      if (reset) {
        // Let the bytes reach the reader before the reset does.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const linger subito{1, 0};
        ::setsockopt(s, SOL_SOCKET, SO_LINGER, &subito, sizeof subito);
      }
      return true;
    };
  }
  /// Reads the request and never answers.
  static Comportamento Muto() {
    return [](int s) {
      static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
      return false;
    };
  }
  /// Writes the head, then `pezzo` `volte` times (for ever when negative),
  /// waiting `intervallo` after each, until the peer goes or the server stops.
  Comportamento Flusso(std::string testa, std::string pezzo, long long volte,
                       std::chrono::milliseconds intervallo = {}) {
    return [this, testa = std::move(testa), pezzo = std::move(pezzo), volte, intervallo](int s) {
      static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
      bool avanti = ServerGrezzo::Scrivi(s, testa + "\r\n");
      for (long long n = 0; avanti && !fermo_ && (volte < 0 || n < volte); ++n) {
        avanti = ServerGrezzo::Scrivi(s, pezzo);
        scritti_ += static_cast<long long>(pezzo.size());
        std::this_thread::sleep_for(intervallo);
      }
      return true;
    };
  }

  /// Bytes of body written by the latest Flusso.
  [[nodiscard]] long long Scritti() const { return scritti_; }

 private:
  std::mutex mutex_;
  Comportamento attuale_;
  std::atomic<bool> fermo_ = false;
  std::atomic<long long> scritti_ = 0;
  // Last, so that it stops before what its handler uses goes.
  ServerGrezzo grezzo_{[this](int s) {
    Comportamento c;
    {
      const std::scoped_lock lock(mutex_);
      c = attuale_;
    }
    return c ? c(s) : true;
  }};
};

/// A status line with the content type and the body's length declared.
[[nodiscard]] inline std::string Testa(int stato, std::string_view tipo, long long lunghezza) {
  return "HTTP/1.1 " + std::to_string(stato) + " Risposta\r\nContent-Type: " + std::string(tipo) +
         "\r\nContent-Length: " + std::to_string(lunghezza) + "\r\nConnection: close\r\n";
}

}  // namespace orvane::test::ostile
