#pragma once

#include <chrono>
#include <functional>

namespace platform {

using Istante = std::chrono::system_clock::time_point;

/// The current date and time. Interval and timeout logic reads time only
/// through here, so tests can move time without waiting.
[[nodiscard]] Istante Adesso();

/// Installs a different clock for this module; an empty function restores
/// the system clock.
void ImpostaOrologio(std::function<Istante()> orologio);

}  // namespace platform
