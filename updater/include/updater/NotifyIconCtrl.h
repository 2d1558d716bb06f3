#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <deque>
#include <map>
#include <optional>
#include <string>

namespace tervan {

/// One balloon as it was asked for.
struct Fumetto {
  std::string Testo;
  std::string Titolo;
  int Durata = 0;
  bool operator==(const Fumetto&) const = default;
};

/// The window's notification-area icon: shows the program icon, reports
/// mouse buttons 1 (left) and 2 (right) and shows balloons with a title, a
/// text and a display time.
///
/// Where the desktop runs a notification service, balloons are desktop
/// notifications, also beside a notification area, so the desktop's
/// do-not-disturb holds; a text repeated while its notification may still
/// be on screen replaces it instead of stacking. Otherwise the icon shows
/// the balloon. Where the desktop has no notification area (a bare X
/// server, the offscreen platform) the icon cannot show; the wrapper still
/// keeps the last balloons and writes each to standard error, so nothing
/// said to the user is lost.
class NotifyIconCtrl : public QObject {
  Q_OBJECT

 public:
  static constexpr std::size_t kFumettiRicordati = 16;

  explicit NotifyIconCtrl(const QIcon& icona, QObject* padre = nullptr);

  /// Shows the icon (it stays until the wrapper goes).
  void Mostra();

  /// Prepares the balloon the icon shows: icon code, text and title.
  void ImpostaFumetto(int icona, std::string testo, std::string titolo);
  [[nodiscard]] const std::string& TestoFumetto() const noexcept { return testo_; }
  [[nodiscard]] const std::string& TitoloFumetto() const noexcept { return titolo_; }

  /// The program's icon name and desktop entry, as the install names them.
  static constexpr const char* kVoceDesktop = "orvane-tervan";

  /// Shows a balloon for `Durata` milliseconds; nothing waits for it.
  void MostraFumetto(const std::string& Testo, const std::string& Titolo, int Durata);

  /// The latest balloons, oldest first.
  [[nodiscard]] const std::deque<Fumetto>& UltimiFumetti() const noexcept { return fumetti_; }

  /// The icon itself (tests emit its activation: no platform does offscreen).
  [[nodiscard]] QSystemTrayIcon& Icona() noexcept { return icona_; }

 signals:
  /// A mouse button on the icon: 1 left, 2 right.
  void MouseDown(int Button);

 private:
  // True when the desktop's notification service took it.
  bool NotificaDesktop(const std::string& Titolo, const std::string& Testo, int Durata);

  // The desktop notification last sent for each title and text: its id
  // once the service answered; none while the answer is awaited.
  std::map<std::string, std::optional<unsigned>> notifiche_;
  // Whether the service reads markup in the text, asked once per bus;
  // none until it answers.
  std::optional<bool> marcatura_;

  QSystemTrayIcon icona_;
  int iconaFumetto_ = 0;
  std::string testo_;
  std::string titolo_;
  std::deque<Fumetto> fumetti_;
};

}  // namespace tervan
