#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tervan {

/// Tervan's own options, answered before anything else runs (no component
/// is registered, no window opened, no autostart entry written):
/// "--help" (or "-h") prints the usage, "--version" the version, and
/// "--configurazione" the addresses in effect with where each came from and
/// where this user's files go. Any other command line is the system's own
/// (VERIFICA, LIVE, DEBUG, or none of them).
///
/// Returns the exit code when `argomenti` (those after the program name) are
/// one of these options: 0, or 1 for "--configurazione" when the settings
/// file is malformed (its error on `errori`); std::nullopt otherwise.
[[nodiscard]] std::optional<int> OpzioneTervan(const std::vector<std::string>& argomenti,
                                               const std::filesystem::path& cartellaProgramma,
                                               std::ostream& uscita, std::ostream& errori);

}  // namespace tervan
