#pragma once

#include <httplib.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orvane::test {

/// An HTTP server on 127.0.0.1, on a free port, in the test process. Routes
/// are added to Server() before Avvia().
class ServerHttp {
 public:
  ServerHttp() = default;
  ~ServerHttp();
  ServerHttp(const ServerHttp&) = delete;
  ServerHttp& operator=(const ServerHttp&) = delete;

  httplib::Server& Server() { return server_; }
  void Avvia();
  [[nodiscard]] std::string Url(std::string_view percorso) const;
  /// Blocks a handler until the server goes (for answers that never come).
  void AttendiChiusura();

 private:
  httplib::Server server_;
  int porta_ = 0;
  std::thread ascolto_;
  std::mutex mutex_;
  std::condition_variable chiusura_;
  bool chiuso_ = false;
};

/// A bare TCP listener on 127.0.0.1 for peers that misbehave below HTTP.
/// Each connection goes to `gestore` with its socket; when the handler
/// returns false the socket stays open (unanswered) until the server goes.
class ServerGrezzo {
 public:
  explicit ServerGrezzo(std::function<bool(int socket)> gestore);
  ~ServerGrezzo();
  ServerGrezzo(const ServerGrezzo&) = delete;
  ServerGrezzo& operator=(const ServerGrezzo&) = delete;

  [[nodiscard]] std::string Url(std::string_view percorso) const;

  /// Reads one request (head and the body its Content-Length declares).
  static std::string LeggiRichiesta(int socket);
  /// Writes all of `dati`: false when the peer went first.
  static bool Scrivi(int socket, std::string_view dati);

 private:
  void Ascolta();

  std::function<bool(int)> gestore_;
  int ascolto_ = -1;
  int porta_ = 0;
  std::vector<int> aperti_;
  std::thread thread_;
};

/// An address on 127.0.0.1 where nothing listens.
[[nodiscard]] std::string UrlChiuso(std::string_view percorso = "");

}  // namespace orvane::test
