#pragma once

#include <filesystem>
#include <string_view>

namespace platform {

/// The user's home folder ($HOME, else the password database).
[[nodiscard]] std::filesystem::path CartellaHome();

/// The XDG base folders: $XDG_CONFIG_HOME (else ~/.config) and
/// $XDG_DATA_HOME (else ~/.local/share); a relative setting is ignored.
[[nodiscard]] std::filesystem::path CartellaConfigurazioneUtente();
[[nodiscard]] std::filesystem::path CartellaDatiUtente();

/// The folder that stands for a drive letter: $ORVANE_DRIVE_<L> (letter in
/// upper case), else the folder the Wine prefix (PrefissoWine) maps the
/// letter to, else $XDG_DATA_HOME/orvane/drive_<l>, else
/// ~/.local/share/orvane/drive_<l>. Read at every call.
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
