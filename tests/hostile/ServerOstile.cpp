#include "ServerOstile.h"

#include <sys/socket.h>

#include <thread>
#include <utility>

namespace orvane::test::ostile {

ServerOstile::ServerOstile()
    : grezzo_([this](int s) {
        Comportamento c;
        {
          const std::scoped_lock lock(mutex_);
          c = attuale_;
        }
        return c ? c(s) : true;
      }) {}

ServerOstile::~ServerOstile() {
  fermo_ = true;
}

void ServerOstile::Imposta(Comportamento comportamento) {
  const std::scoped_lock lock(mutex_);
  attuale_ = std::move(comportamento);
  scritti_ = 0;
}

bool ServerOstile::Invia(int socket, std::string_view dati) {
  while (!dati.empty()) {
    if (fermo_) return false;
    const ssize_t n = ::send(socket, dati.data(), dati.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    dati.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

Comportamento ServerOstile::Risposta(std::string testa, std::string corpo) {
  return [testa = std::move(testa), corpo = std::move(corpo)](int s) {
    static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
    ServerGrezzo::Scrivi(s, testa + "\r\n" + corpo);
    return true;
  };
}

Comportamento ServerOstile::Muto() {
  return [](int s) {
    static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
    return false;
  };
}

Comportamento ServerOstile::Sordo() {
  return [](int) { return false; };
}

Comportamento ServerOstile::Goccia(std::string testa, std::string corpo,
                                   std::chrono::milliseconds intervallo) {
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

Comportamento ServerOstile::Reset(std::string testa, std::string parziale) {
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

Comportamento ServerOstile::Flusso(std::string testa, long long byte, bool aPezzi) {
  return [this, testa = std::move(testa), byte, aPezzi](int s) {
    static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
    if (!Invia(s, testa + "\r\n")) return true;
    static const std::string blocco(std::size_t{1} << 20U, 'x');
    static const std::string pezzo = "100000\r\n" + blocco + "\r\n";
    for (long long resto = byte; byte < 0 || resto > 0;) {
      const auto n = byte < 0 ? blocco.size()
                              : static_cast<std::size_t>(std::min<long long>(
                                    resto, static_cast<long long>(blocco.size())));
      if (!Invia(s, aPezzi ? std::string_view(pezzo) : std::string_view(blocco).substr(0, n)))
        break;
      scritti_ += static_cast<long long>(n);
      resto -= static_cast<long long>(n);
    }
    return true;
  };
}

std::string Testa(int stato, std::string_view tipo, long long lunghezza) {
  return "HTTP/1.1 " + std::to_string(stato) + " Risposta\r\nContent-Type: " + std::string(tipo) +
         "\r\nContent-Length: " + std::to_string(lunghezza) + "\r\nConnection: close\r\n";
}

}  // namespace orvane::test::ostile
