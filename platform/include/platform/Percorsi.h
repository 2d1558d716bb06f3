#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

/// The user's home folder ($HOME, else the password database).
[[nodiscard]] std::filesystem::path CartellaHome();

/// The XDG base folders: $XDG_CONFIG_HOME (else ~/.config) and
/// $XDG_DATA_HOME (else ~/.local/share); a relative setting is ignored.
[[nodiscard]] std::filesystem::path CartellaConfigurazioneUtente();
[[nodiscard]] std::filesystem::path CartellaDatiUtente();

/// A folder variable that names no absolute folder; the text names the
/// variable and its value.
class ErroreVariabileCartella : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The folder the environment variable `nome` names; nullopt when it is not
/// set or empty. "~" and "~/..." stand for the home folder, as in
/// ORVANE_WINEPREFIX; any other relative path throws ErroreVariabileCartella
/// rather than being taken from the working folder or ignored.
[[nodiscard]] std::optional<std::filesystem::path> CartellaDaVariabile(const std::string& nome);

/// Throws ErroreVariabileCartella for the first of the folder variables
/// (ORVANE_REGISTRY, ORVANE_DRIVE_A to ORVANE_DRIVE_Z) that is set to a
/// relative path: for the programs to refuse to start rather than fail at
/// the first use.
void ControllaVariabiliCartelle();

/// The folder that stands for a drive letter: $ORVANE_DRIVE_<L> (letter in
/// upper case), else the folder the Wine prefix (PrefissoWine) maps the
/// letter to, else $XDG_DATA_HOME/orvane/drive_<l>, else
/// ~/.local/share/orvane/drive_<l>. Read at every call; the variable as
/// CartellaDaVariabile takes it (throws ErroreVariabileCartella), and
/// PrefissoWine may throw ErroreImpostazioni.
[[nodiscard]] std::filesystem::path CartellaUnita(char lettera);

/// The local path of a path as the system's programs write it. A path that
/// begins with a drive letter ("C:\ORVANE\TARVIK", "c:/orvane") lies in the
/// folder of that drive; "\" and "/" both separate names; each name matches
/// an existing entry without regard to case, as on Windows (an exact match
/// preferred); names that do not exist (yet) keep their spelling; "." and
/// ".." are resolved by name and never climb above the drive's folder. Any
/// other path (a POSIX path, a relative one) is returned unchanged.
[[nodiscard]] std::filesystem::path PercorsoLocale(std::string_view percorso);

/// The entry of `cartella` that `nome` names, matched as PercorsoLocale
/// matches each name: the exact name when it exists, else the first (in
/// name order) that equals it without regard to case; `cartella / nome`
/// when there is none.
[[nodiscard]] std::filesystem::path VoceInCartella(const std::filesystem::path& cartella,
                                                   std::string_view nome);

}  // namespace platform
