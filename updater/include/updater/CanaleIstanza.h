#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/Descrittore.h"

class QSocketNotifier;

namespace tervan {

/// The way a second start of Tervan reaches the running one: a local
/// socket beside the instance lock in the user's runtime folder, named
/// after the program folder and the session (platform/Collocazione.h), so
/// each user's Tervan of each session has its own.
///
/// The running Tervan listens for its whole life; a request is the single
/// line "MOSTRA" and is answered "1" when the window was shown, "0" when it
/// was not. Anything else, nothing within kAttesaRichiesta, or a peer of
/// another user closes the connection without effect.
///
/// A plain Unix stream socket watched by the window's event loop: Qt's
/// network module, with the proxy and Kerberos libraries it brings, would
/// cost every start its loading for this one line.
class CanaleIstanza : public QObject {
  Q_OBJECT

 public:
  static constexpr std::string_view kRichiesta = "MOSTRA\n";
  static constexpr std::chrono::milliseconds kAttesaRichiesta{2000};

  /// The socket of the Tervan of `cartellaProgramma` for the current user
  /// and session; empty (the reason on standard error) when the user's
  /// folder for it is refused.
  [[nodiscard]] static QString Nome(const std::filesystem::path& cartellaProgramma);

  /// Listens on behalf of the holder of the program folder's instance lock:
  /// a socket that a killed Tervan left behind is replaced. `mostra` shows
  /// the window and says whether it did. Without a runtime folder, or when
  /// the socket cannot be made, nothing listens (Attivo() is false).
  CanaleIstanza(const std::filesystem::path& cartellaProgramma, std::function<bool()> mostra);
  ~CanaleIstanza() override;
  CanaleIstanza(const CanaleIstanza&) = delete;
  CanaleIstanza& operator=(const CanaleIstanza&) = delete;

  [[nodiscard]] bool Attivo() const { return ascolto_.Fd() >= 0; }

  /// The second start's side: asks the running Tervan of `cartellaProgramma`
  /// to show its window, waiting at most `limite` for it to listen and to
  /// answer. True when it answered that it did.
  static bool ChiediMostra(const std::filesystem::path& cartellaProgramma,
                           std::chrono::milliseconds limite);

 private:
  class Connessione;

  void NuoveConnessioni();

  std::string percorso_;
  platform::Descrittore ascolto_;
  std::unique_ptr<QSocketNotifier> notifica_;
  std::function<bool()> mostra_;
};

}  // namespace tervan
