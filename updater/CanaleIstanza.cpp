#include "updater/CanaleIstanza.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/Collocazione.h"

namespace tervan {
namespace {

// A request never needs more; a peer that sends more is not Tervan.
constexpr std::size_t kLunghezzaMassima = 64;

// The socket's address; none when the path does not fit in one.
std::optional<sockaddr_un> Indirizzo(const std::string& percorso) {
  sockaddr_un indirizzo{};
  indirizzo.sun_family = AF_UNIX;
  if (percorso.empty() || percorso.size() >= sizeof(indirizzo.sun_path)) return std::nullopt;
  std::copy(percorso.begin(), percorso.end(), std::begin(indirizzo.sun_path));
  return indirizzo;
}

const sockaddr* Generico(const sockaddr_un& indirizzo) {
  return reinterpret_cast<const sockaddr*>(&indirizzo);
}

// True when the peer on `fd` runs as this process's user.
bool StessoUtente(int fd) {
  ucred credenziali{};
  socklen_t lunghezza = sizeof(credenziali);
  return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credenziali, &lunghezza) == 0 &&
         credenziali.uid == getuid();
}

// A listening socket at `percorso`, or none (the reason on standard error).
platform::Descrittore Ascolta(const std::string& percorso) {
  const auto rifiuta = [&percorso](const char* perche) {
    std::fprintf(stderr, "Tervan: impossibile ascoltare su %s: %s\n", percorso.c_str(), perche);
    return platform::Descrittore();
  };
  const auto indirizzo = Indirizzo(percorso);
  if (!indirizzo) return rifiuta("percorso troppo lungo");
  platform::Descrittore fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (fd.Fd() < 0) return rifiuta(std::strerror(errno));
  // Only the holder of the instance lock listens, so a socket already
  // there was left by a Tervan that did not end cleanly. The folder is the
  // user's own, and the socket is made for the user alone whatever the umask.
  (void)unlink(percorso.c_str());
  const mode_t maschera = umask(0077);
  const int legato = bind(fd.Fd(), Generico(*indirizzo), sizeof(*indirizzo));
  const int errnoLegato = errno;
  umask(maschera);
  if (legato != 0) return rifiuta(std::strerror(errnoLegato));
  if (listen(fd.Fd(), SOMAXCONN) != 0) {
    const int errnoAscolto = errno;
    (void)unlink(percorso.c_str());
    return rifiuta(std::strerror(errnoAscolto));
  }
  return fd;
}

}  // namespace

// One peer's connection, from accept to close: its request is read as it
// arrives, and the connection goes when answered, refused or out of time.
class CanaleIstanza::Connessione : public QObject {
 public:
  Connessione(platform::Descrittore fd, CanaleIstanza& canale)
      : QObject(&canale),
        fd_(std::move(fd)),
        canale_(canale),
        notifica_(fd_.Fd(), QSocketNotifier::Read) {
    connect(&notifica_, &QSocketNotifier::activated, this, [this] { Leggi(); });
    // A peer that says nothing is dropped; its connection never blocks another.
    QTimer::singleShot(kAttesaRichiesta, this, [this] { Chiudi(); });
  }

 private:
  void Leggi() {
    std::array<char, kLunghezzaMassima> blocco{};
    const ssize_t letti = recv(fd_.Fd(), blocco.data(), blocco.size(), 0);
    if (letti < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (letti <= 0) {
      Chiudi();
      return;
    }
    richiesta_.append(blocco.data(), static_cast<std::size_t>(letti));
    const auto fineRiga = richiesta_.find('\n');
    if (fineRiga == std::string::npos) {
      if (richiesta_.size() >= kLunghezzaMassima) Chiudi();
      return;
    }
    if (richiesta_ == kRichiesta) {
      const bool mostrata = canale_.mostra_ && canale_.mostra_();
      // Two bytes on a socket just opened: they fit in its buffer at once.
      (void)send(fd_.Fd(), mostrata ? "1\n" : "0\n", 2, MSG_NOSIGNAL);
    }
    Chiudi();
  }

  void Chiudi() {
    notifica_.setEnabled(false);
    (void)fd_.Chiudi();
    deleteLater();
  }

  platform::Descrittore fd_;
  CanaleIstanza& canale_;
  QSocketNotifier notifica_;
  std::string richiesta_;
};

QString CanaleIstanza::Nome(const std::filesystem::path& cartellaProgramma) {
  try {
    return QString::fromStdString(
        platform::PreparaPostoFile(platform::FileSistema::CanaleIstanza, cartellaProgramma)
            .string());
  } catch (const std::system_error& e) {
    std::fprintf(stderr, "Tervan: %s\n", e.what());
    return {};
  }
}

CanaleIstanza::CanaleIstanza(const std::filesystem::path& cartellaProgramma,
                             std::function<bool()> mostra)
    : percorso_(Nome(cartellaProgramma).toStdString()), mostra_(std::move(mostra)) {
  if (percorso_.empty()) return;
  ascolto_ = Ascolta(percorso_);
  if (ascolto_.Fd() < 0) return;
  notifica_ = std::make_unique<QSocketNotifier>(ascolto_.Fd(), QSocketNotifier::Read);
  connect(notifica_.get(), &QSocketNotifier::activated, this, &CanaleIstanza::NuoveConnessioni);
}

CanaleIstanza::~CanaleIstanza() {
  // The socket file goes with the listener: the next Tervan finds none.
  notifica_.reset();
  if (ascolto_.Fd() >= 0) (void)unlink(percorso_.c_str());
}

void CanaleIstanza::NuoveConnessioni() {
  for (;;) {
    platform::Descrittore fd(
        accept4(ascolto_.Fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (fd.Fd() < 0) return;  // none left (EAGAIN), or the peer gave up
    if (!StessoUtente(fd.Fd())) continue;
    new Connessione(std::move(fd), *this);  // owned by this object, deleted when done
  }
}

bool CanaleIstanza::ChiediMostra(const std::filesystem::path& cartellaProgramma,
                                 std::chrono::milliseconds limite) {
  const auto indirizzo = Indirizzo(Nome(cartellaProgramma).toStdString());
  if (!indirizzo) return false;
  const auto fine = std::chrono::steady_clock::now() + limite;
  const auto resta = [&] {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        fine - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(ms.count(), 0));
  };
  platform::Descrittore fd;
  // The running Tervan listens a moment after it took the lock: a start
  // that comes right then waits for it, a few times a second.
  for (;;) {
    fd = platform::Descrittore(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.Fd() < 0) return false;
    if (::connect(fd.Fd(), Generico(*indirizzo), sizeof(*indirizzo)) == 0) break;
    const bool assente = errno == ENOENT || errno == ECONNREFUSED;
    if (!assente || resta() == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, resta())));
  }
  if (send(fd.Fd(), kRichiesta.data(), kRichiesta.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(kRichiesta.size())) {
    return false;
  }
  std::string risposta;
  std::array<char, kLunghezzaMassima> blocco{};
  while (risposta.find('\n') == std::string::npos && risposta.size() < kLunghezzaMassima) {
    pollfd attesa{fd.Fd(), POLLIN, 0};
    const int pronti = poll(&attesa, 1, resta());
    if (pronti < 0 && errno == EINTR) continue;
    if (pronti <= 0) return false;
    const ssize_t letti = recv(fd.Fd(), blocco.data(), blocco.size(), 0);
    if (letti < 0 && errno == EINTR) continue;
    if (letti <= 0) break;
    risposta.append(blocco.data(), static_cast<std::size_t>(letti));
  }
  return risposta == "1\n";
}

}  // namespace tervan
