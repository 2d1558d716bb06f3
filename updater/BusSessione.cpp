#include "updater/BusSessione.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/Descrittore.h"
#include "platform/TestoUtf8.h"

namespace tervan {
namespace {

// Two lower-case hexadecimal digits for the byte.
void AggiungiEsadecimale(std::string& testo, char byte) {
  constexpr std::string_view kCifre = "0123456789abcdef";
  const auto c = static_cast<unsigned char>(byte);
  testo += kCifre[c >> 4U];
  testo += kCifre[c & 0xFU];
}

// The value of `%XX` escapes in an address; std::nullopt for a broken one.
std::optional<std::string> SenzaEscape(std::string_view valore) {
  std::string testo;
  for (std::size_t i = 0; i < valore.size(); ++i) {
    if (valore[i] != '%') {
      testo += valore[i];
      continue;
    }
    if (i + 2 >= valore.size()) return std::nullopt;
    const int alta = platform::ValoreCifraEsadecimale(valore[i + 1]);
    const int bassa = platform::ValoreCifraEsadecimale(valore[i + 2]);
    if (alta < 0 || bassa < 0) return std::nullopt;
    testo += static_cast<char>(alta * 16 + bassa);
    i += 2;
  }
  return testo;
}

// A Unix socket's address and its length.
struct Presa {
  sockaddr_un indirizzo{};
  socklen_t lunghezza = 0;
};

// The socket of the first entry when it is "unix:path=..." or
// "unix:abstract=..."; std::nullopt for anything else.
std::optional<Presa> IndirizzoUnix(std::string_view indirizzo) {
  indirizzo = indirizzo.substr(0, indirizzo.find(';'));
  if (!indirizzo.starts_with("unix:")) return std::nullopt;
  indirizzo.remove_prefix(5);
  while (!indirizzo.empty()) {
    const std::string_view voce = indirizzo.substr(0, indirizzo.find(','));
    indirizzo.remove_prefix(std::min(indirizzo.size(), voce.size() + 1));
    const bool astratto = voce.starts_with("abstract=");
    if (!astratto && !voce.starts_with("path=")) continue;
    const auto nome = SenzaEscape(voce.substr(voce.find('=') + 1));
    Presa p;
    // An abstract name starts with NUL and is as long as it is; a path ends
    // with one.
    const std::size_t inizio = astratto ? 1 : 0;
    if (!nome || nome->empty() || inizio + nome->size() >= sizeof p.indirizzo.sun_path)
      return std::nullopt;
    p.indirizzo.sun_family = AF_UNIX;
    std::memcpy(p.indirizzo.sun_path + inizio, nome->data(), nome->size());
    p.lunghezza = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + inizio + nome->size() +
                                         (astratto ? 0 : 1));
    return p;
  }
  return std::nullopt;
}

}  // namespace

std::string IndirizzoBusSessione() {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): read before any thread starts.
  if (const char* v = std::getenv("DBUS_SESSION_BUS_ADDRESS"); v != nullptr && *v != '\0') return v;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): as above.
  const char* cartella = std::getenv("XDG_RUNTIME_DIR");
  if (cartella == nullptr || cartella[0] != '/') return {};
  std::string indirizzo = "unix:path=";
  for (const char c : std::string(cartella) + "/bus") {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0 ||
        std::string_view("/-_.").find(c) != std::string_view::npos) {
      indirizzo += c;
    } else {
      indirizzo += '%';
      AggiungiEsadecimale(indirizzo, c);
    }
  }
  return indirizzo;
}

bool BusMuto(const std::string& indirizzo, std::chrono::milliseconds attesa) {
  const auto presa = IndirizzoUnix(indirizzo);
  if (!presa) return false;
  const platform::Descrittore s(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (s.Fd() < 0) return false;
  if (::connect(s.Fd(), reinterpret_cast<const sockaddr*>(&presa->indirizzo), presa->lunghezza) !=
      0) {
    // A queue of connections that is full never empties for a server that
    // does not take them; any other refusal libdbus meets at once as well.
    return errno == EAGAIN;
  }
  // The first words of the bus's own greeting: any bus answers them at
  // once, whether it then accepts this user or not.
  const std::string uid = std::to_string(::getuid());
  std::string saluto(1, '\0');
  saluto += "AUTH EXTERNAL ";
  for (const char c : uid)
    AggiungiEsadecimale(saluto, c);
  saluto += "\r\n";
  if (::send(s.Fd(), saluto.data(), saluto.size(), MSG_NOSIGNAL) < 0) return false;
  pollfd p{s.Fd(), POLLIN, 0};
  int pronti = 0;
  const auto fine = std::chrono::steady_clock::now() + attesa;
  do {
    const auto resto = std::chrono::duration_cast<std::chrono::milliseconds>(
        fine - std::chrono::steady_clock::now());
    pronti = ::poll(&p, 1, static_cast<int>(std::max<long long>(resto.count(), 0)));
  } while (pronti < 0 && errno == EINTR);
  // An answer, or the end of the connection, or a failed wait: not mute.
  return pronti == 0;
}

}  // namespace tervan
