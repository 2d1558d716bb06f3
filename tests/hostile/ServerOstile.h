#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "tests/support/ServerDiProva.h"

namespace orvane::test::ostile {

/// What the hostile server does with one connection: true closes the socket
/// afterwards, false leaves it open and unanswered until the server goes.
using Comportamento = std::function<bool(int socket)>;

/// A loopback server that the tests switch between misbehaviours while real
/// Quomaro objects talk to it. Connections are served one at a time.
class ServerOstile {
 public:
  ServerOstile();
  ~ServerOstile();
  ServerOstile(const ServerOstile&) = delete;
  ServerOstile& operator=(const ServerOstile&) = delete;

  /// The behaviour for the connections that come from now on.
  void Imposta(Comportamento comportamento);
  [[nodiscard]] std::string Url(std::string_view percorso) const { return grezzo_.Url(percorso); }

  /// Reads the request, writes `testa` (status line and headers, each
  /// ending in CR LF), the blank line and `corpo`, then closes.
  static Comportamento Risposta(std::string testa, std::string corpo);
  /// Reads the request and never answers.
  static Comportamento Muto();
  /// Accepts the connection and never reads or answers it.
  static Comportamento Sordo();
  /// Writes the head, then the body one byte every `intervallo` until the
  /// body ends, the peer goes or the server stops.
  Comportamento Goccia(std::string testa, std::string corpo, std::chrono::milliseconds intervallo);
  /// Writes the head and `parziale`, then resets the connection.
  static Comportamento Reset(std::string testa, std::string parziale);
  /// Writes the head, then `byte` bytes of body in large blocks (for ever
  /// with a negative count, in chunks when `aPezzi`), stopping when the
  /// peer goes or the server stops.
  Comportamento Flusso(std::string testa, long long byte, bool aPezzi = false);

  /// Bytes of body written by the latest Flusso or Goccia.
  [[nodiscard]] long long Scritti() const { return scritti_; }

 private:
  bool Invia(int socket, std::string_view dati);

  std::mutex mutex_;
  Comportamento attuale_;
  std::atomic<bool> fermo_ = false;
  std::atomic<long long> scritti_ = 0;
  // Last, so that it stops before what its handler uses goes.
  ServerGrezzo grezzo_;
};

/// "HTTP/1.1 200 OK" with the content type and the body's length declared.
[[nodiscard]] std::string Testa(int stato, std::string_view tipo, long long lunghezza);

}  // namespace orvane::test::ostile
