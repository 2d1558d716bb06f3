#include "updater/CanaleIstanza.h"

#include <QByteArray>
#include <QLocalSocket>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/Collocazione.h"

namespace tervan {
namespace {

// A request never needs more; a peer that sends more is not Tervan.
constexpr qint64 kLunghezzaMassima = 64;

}  // namespace

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
    : mostra_(std::move(mostra)) {
  const QString nome = Nome(cartellaProgramma);
  if (nome.isEmpty()) return;
  // Only the holder of the instance lock listens, so a socket already
  // there was left by a Tervan that did not end cleanly.
  QLocalServer::removeServer(nome);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(nome)) {
    std::fprintf(stderr, "Tervan: impossibile ascoltare su %s: %s\n",
                 nome.toLocal8Bit().constData(), server_.errorString().toLocal8Bit().constData());
    return;
  }
  connect(&server_, &QLocalServer::newConnection, this, &CanaleIstanza::NuovaConnessione);
}

CanaleIstanza::~CanaleIstanza() {
  // Closing removes the socket file: the next Tervan finds none.
  server_.close();
}

void CanaleIstanza::NuovaConnessione() {
  while (QLocalSocket* s = server_.nextPendingConnection()) {
    connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    // A peer that says nothing is dropped; its connection never blocks another.
    QTimer::singleShot(kAttesaRichiesta, s, [s] { s->abort(); });
    const auto leggi = [this, s] {
      if (s->state() != QLocalSocket::ConnectedState) return;
      if (!s->canReadLine()) {
        if (s->bytesAvailable() >= kLunghezzaMassima) s->abort();
        return;
      }
      const QByteArray riga = s->readLine(kLunghezzaMassima);
      if (riga.toStdString() != kRichiesta) {
        s->abort();
        return;
      }
      const bool mostrata = mostra_ && mostra_();
      s->write(mostrata ? "1\n" : "0\n");
      s->disconnectFromServer();
    };
    connect(s, &QLocalSocket::readyRead, s, leggi);
    if (s->bytesAvailable() > 0) leggi();
  }
}

bool CanaleIstanza::ChiediMostra(const std::filesystem::path& cartellaProgramma,
                                 std::chrono::milliseconds limite) {
  const QString nome = Nome(cartellaProgramma);
  if (nome.isEmpty()) return false;
  const auto fine = std::chrono::steady_clock::now() + limite;
  const auto resta = [&] {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        fine - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(ms.count(), 0));
  };
  QLocalSocket s;
  // The running Tervan listens a moment after it took the lock: a start
  // that comes right then waits for it, a few times a second.
  for (;;) {
    s.connectToServer(nome);
    if (s.waitForConnected(resta())) break;
    const bool assente = s.error() == QLocalSocket::ServerNotFoundError ||
                         s.error() == QLocalSocket::ConnectionRefusedError;
    if (!assente || resta() == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, resta())));
  }
  s.write(kRichiesta.data(), static_cast<qint64>(kRichiesta.size()));
  if (!s.waitForBytesWritten(resta())) return false;
  while (!s.canReadLine() && s.waitForReadyRead(resta())) {
  }
  return s.readLine(kLunghezzaMassima) == "1\n";
}

}  // namespace tervan
