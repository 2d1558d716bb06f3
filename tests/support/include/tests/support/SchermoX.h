#pragma once

#include <QImage>
#include <QRect>
#include <chrono>
#include <optional>
#include <string>

namespace orvane::test {

/// A client of an X display for driving and looking at another program's
/// windows, as a user at that screen would.
class SchermoX {
 public:
  /// Connects to `display` (":N"); Connesso() is false when it cannot.
  explicit SchermoX(const std::string& display);
  ~SchermoX();
  SchermoX(const SchermoX&) = delete;
  SchermoX& operator=(const SchermoX&) = delete;

  [[nodiscard]] bool Connesso() const noexcept { return display_ != nullptr; }

  /// The mapped top-level window whose title (_NET_WM_NAME, else WM_NAME)
  /// is exactly `titolo`, waiting up to `attesa` for it to appear.
  [[nodiscard]] std::optional<unsigned long> Finestra(const std::string& titolo,
                                                      std::chrono::milliseconds attesa);

  /// Presses and releases a key (an X key name: "F4", "Return", "Down")
  /// in the window, as typed with that window active.
  bool Premi(unsigned long finestra, const std::string& tasto);

  /// What the screen shows now.
  [[nodiscard]] QImage Schermata();

  /// Owns the screen's notification-area selection (_NET_SYSTEM_TRAY_S0)
  /// for as long as this client lives, as an XEmbed tray host does, so
  /// programs find a notification area; the icons it is asked to dock
  /// stay undrawn.
  bool OccupaAreaNotifica();

  /// Where a window lies on the screen, frame excluded.
  [[nodiscard]] std::optional<QRect> Area(unsigned long finestra);

 private:
  void* display_ = nullptr;  // Display*, kept out of this header with Xlib's macros
};

}  // namespace orvane::test
