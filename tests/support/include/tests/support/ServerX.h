#pragma once

#include <signal.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "tests/support/CartellaTemporanea.h"
#include "tests/support/Processo.h"

namespace orvane::test {

/// A real X server of our own (Xvfb) on a display number it picks itself
/// and prints once it accepts clients; stopped when the object goes. When
/// Xvfb cannot be started, Avviato() is false and Display() empty.
class ServerX {
 public:
  /// `schermo`: the screen as Xvfb takes it, "WIDTHxHEIGHTxDEPTH".
  explicit ServerX(const std::string& schermo = "320x240x24") {
    try {
      xvfb_ = std::make_unique<Processo>(
          "Xvfb",
          std::vector<std::string>{"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", schermo},
          std::map<std::string, std::string>{}, uscite_.Percorso());
    } catch (const std::runtime_error&) {
      return;
    }
    const std::string numero =
        AttendiRiga(*xvfb_, uscite_ / "stdout", "", std::chrono::seconds(20));
    if (!numero.empty()) display_ = ":" + numero;
  }
  ~ServerX() {
    if (xvfb_) xvfb_->Termina(SIGTERM);
  }
  ServerX(const ServerX&) = delete;
  ServerX& operator=(const ServerX&) = delete;

  [[nodiscard]] bool Avviato() const noexcept { return xvfb_ != nullptr; }
  /// ":N", empty when the server never said which display it took.
  [[nodiscard]] const std::string& Display() const noexcept { return display_; }

 private:
  CartellaTemporanea uscite_;
  std::unique_ptr<Processo> xvfb_;
  std::string display_;
};

}  // namespace orvane::test
