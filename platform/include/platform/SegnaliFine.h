#pragma once

#include <csignal>

#include "platform/Descrittore.h"

namespace platform {

/// The end of the desktop session as the system tells a program, SIGTERM
/// and SIGHUP, and Ctrl+C in a terminal, SIGINT. For its lifetime they only
/// mark the request and make the
/// read end of a pipe readable, so an event loop learns of it without a
/// handler running any other code; the previous handlers come back when it
/// goes. One at a time per process.
///
/// The first of them also arms SIGALRM, at its default action, to end the
/// process kSecondiPerFinire later: a program held by a wait without end
/// in a library (a bus daemon that never answers, say) still ends with the
/// session, rather than outliving it and holding its lock against the
/// user's next session.
class SegnaliFine {
 public:
  static constexpr unsigned kSecondiPerFinire = 10;

  SegnaliFine();
  ~SegnaliFine();
  SegnaliFine(const SegnaliFine&) = delete;
  SegnaliFine& operator=(const SegnaliFine&) = delete;

  /// Readable once a signal arrived; read it empty with Svuota.
  [[nodiscard]] int Descrittore() const noexcept { return lettura_.Fd(); }
  /// Reads away what the signals wrote.
  void Svuota() const noexcept;
  /// Whether a signal arrived since the object was made.
  [[nodiscard]] static bool Ricevuto() noexcept;

 private:
  platform::Descrittore lettura_;
  platform::Descrittore scrittura_;
  struct sigaction termPrima_ {};
  struct sigaction hupPrima_ {};
  struct sigaction intPrima_ {};
  struct sigaction alrmPrima_ {};
};

}  // namespace platform
