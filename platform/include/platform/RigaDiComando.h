#pragma once

#include <optional>
#include <string>

namespace platform {

/// The process's argument text: every argument after the program name,
/// joined by single spaces exactly as given (nothing trimmed). Read from
/// /proc/self/cmdline, so a library sees the same text as its host program.
[[nodiscard]] std::string RigaDiComando();

/// Replaces the text returned by RigaDiComando for this module (tests, and
/// hosts that pass on their own arguments); std::nullopt restores the real one.
void SostituisciRigaDiComando(std::optional<std::string> testo);

}  // namespace platform
