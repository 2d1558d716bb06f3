#pragma once

#include <sys/socket.h>

#include <algorithm>
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
  /// ending in CR LF), the blank line and `corpo`, then closes.
  static Comportamento Risposta(std::string testa, std::string corpo) {
    return [testa = std::move(testa), corpo = std::move(corpo)](int s) {
      static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
      ServerGrezzo::Scrivi(s, testa + "\r\n" + corpo);
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
  /// Writes the head, then the body one byte every `intervallo` until the
  /// body ends, the peer goes or the server stops.
  Comportamento Goccia(std::string testa, std::string corpo, std::chrono::milliseconds intervallo) {
    return [this, testa = std::move(testa), corpo = std::move(corpo), intervallo](int s) {
      static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
      if (!Invia(s, testa + "\r\n")) return true;
      for (const char c : corpo) {
        if (!Invia(s, std::string_view(&c, 1))) break;
        ++scritti_;
        std::this_thread::sleep_for(intervallo);
      }
      return true;
    };
  }
  /// Writes the head and `parziale`, then resets the connection.
  static Comportamento Reset(std::string testa, std::string parziale) {
    return [testa = std::move(testa), parziale = std::move(parziale)](int s) {
      static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
      ServerGrezzo::Scrivi(s, testa + "\r\n" + parziale);
      // Let the bytes reach the reader before the reset does.
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const linger subito{1, 0};
      ::setsockopt(s, SOL_SOCKET, SO_LINGER, &subito, sizeof subito);
      return true;
    };
  }
  /// Writes the head, then `byte` bytes of body in large blocks (for ever
  /// with a negative count, in chunks when `aPezzi`), stopping when the
  /// peer goes or the server stops.
  Comportamento Flusso(std::string testa, long long byte, bool aPezzi = false) {
    return [this, testa = std::move(testa), byte, aPezzi](int s) {
      static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
      if (!Invia(s, testa + "\r\n")) return true;
      static const std::string blocco(std::size_t{1} << 20U, 'x');
      static const std::string pezzo = "100000\r\n" + blocco + "\r\n";
      for (long long resto = byte; byte < 0 || resto > 0;) {
        const auto n = static_cast<std::size_t>(
            byte < 0 ? kBlocco : std::min(resto, static_cast<long long>(kBlocco)));
        if (!Invia(s, aPezzi ? std::string_view(pezzo) : std::string_view(blocco).substr(0, n)))
          break;
        scritti_ += static_cast<long long>(n);
        resto -= static_cast<long long>(n);
      }
      return true;
    };
  }

  /// Bytes of body written by the latest Flusso or Goccia.
  [[nodiscard]] long long Scritti() const { return scritti_; }

 private:
  static constexpr long long kBlocco = 1LL << 20U;

  bool Invia(int socket, std::string_view dati) {
    while (!dati.empty()) {
      if (fermo_) return false;
      const ssize_t n = ::send(socket, dati.data(), dati.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      dati.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

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

/// "HTTP/1.1 200 OK" with the content type and the body's length declared.
[[nodiscard]] inline std::string Testa(int stato, std::string_view tipo, long long lunghezza) {
  return "HTTP/1.1 " + std::to_string(stato) + " Risposta\r\nContent-Type: " + std::string(tipo) +
         "\r\nContent-Length: " + std::to_string(lunghezza) + "\r\nConnection: close\r\n";
}

}  // namespace orvane::test::ostile
