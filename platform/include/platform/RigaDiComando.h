#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

/// The process's argument text: every argument after the program name,
/// joined by single spaces exactly as given (nothing trimmed). Read from
/// /proc/self/cmdline, so a library sees the same text as its host program.
[[nodiscard]] std::string RigaDiComando();

/// Replaces the text returned by RigaDiComando for this module (tests, and
/// hosts that pass on their own arguments); std::nullopt restores the real one.
void SostituisciRigaDiComando(std::optional<std::string> testo);

/// Arguments joined into one Windows command line, each quoted as Windows
/// programs split a command line again: an argument with a blank or a
/// quotation mark (or an empty one) between quotation marks, with the
/// backslashes before a quotation mark doubled.
[[nodiscard]] std::string RigaWindows(const std::vector<std::string>& argomenti);

}  // namespace platform
