#include "tests/support/ServerDiProva.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace orvane::test {
namespace {

std::string Indirizzo(int porta, std::string_view percorso) {
  return "http://127.0.0.1:" + std::to_string(porta) + std::string(percorso);
}

int AscoltoLocale(int& porta) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&a), n) != 0 || ::listen(s, 16) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) != 0) {
    throw std::runtime_error("impossibile aprire un socket di ascolto");
  }
  porta = ntohs(a.sin_port);
  return s;
}

}  // namespace

ServerHttp::~ServerHttp() {
  {
    const std::scoped_lock lock(mutex_);
    chiuso_ = true;
  }
  chiusura_.notify_all();
  if (ascolto_.joinable()) {
    server_.stop();
    ascolto_.join();
  }
}

void ServerHttp::Avvia() {
  porta_ = server_.bind_to_any_port("127.0.0.1");
  if (porta_ <= 0) throw std::runtime_error("impossibile avviare il server di prova");
  ascolto_ = std::thread([this] { server_.listen_after_bind(); });
  // stop() before the server runs would leave join() waiting for ever.
  while (!server_.is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::string ServerHttp::Url(std::string_view percorso) const {
  return Indirizzo(porta_, percorso);
}

void ServerHttp::AttendiChiusura() {
  std::unique_lock lock(mutex_);
  chiusura_.wait(lock, [this] { return chiuso_; });
}

ServerGrezzo::ServerGrezzo(std::function<bool(int)> gestore) : gestore_(std::move(gestore)) {
  ascolto_ = AscoltoLocale(porta_);
  thread_ = std::thread([this] { Ascolta(); });
}

ServerGrezzo::~ServerGrezzo() {
  // Shutting the listening socket down wakes the accept waiting on it.
  ::shutdown(ascolto_, SHUT_RDWR);
  thread_.join();
  for (const int s : aperti_)
    ::close(s);
  ::close(ascolto_);
}

void ServerGrezzo::Ascolta() {
  for (int s = 0; (s = ::accept4(ascolto_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
    if (gestore_(s)) {
      ::close(s);
    } else {
      aperti_.push_back(s);
    }
  }
}

std::string ServerGrezzo::Url(std::string_view percorso) const {
  return Indirizzo(porta_, percorso);
}

std::string ServerGrezzo::LeggiRichiesta(int socket) {
  std::string dati;
  std::size_t attesi = std::string::npos;
  char buffer[4096];
  while (dati.size() < attesi) {
    const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    dati.append(buffer, static_cast<std::size_t>(n));
    const auto fine = dati.find("\r\n\r\n");
    if (fine != std::string::npos && attesi == std::string::npos) {
      const auto lunghezza = dati.find("Content-Length: ");
      attesi =
          fine + 4 + (lunghezza < fine ? std::stoul(dati.substr(lunghezza + 16)) : std::size_t{0});
    }
  }
  return dati;
}

bool ServerGrezzo::Scrivi(int socket, std::string_view dati) {
  while (!dati.empty()) {
    const ssize_t n = ::send(socket, dati.data(), dati.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    dati.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string UrlChiuso(std::string_view percorso) {
  int porta = 0;
  ::close(AscoltoLocale(porta));
  return Indirizzo(porta, percorso);
}

}  // namespace orvane::test
