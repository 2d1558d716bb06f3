#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace platform {

/// The Wine prefix that the maker's programs run in, if any. Named by
/// PrefissoWineIndicato; else $WINEPREFIX, or ~/.wine when $WINEPREFIX is
/// not set (as Wine itself chooses), when that folder holds a "system.reg".
/// A prefix is used only when it is an absolute path to a folder owned by
/// the user running this program: Wine refuses any other, so the programs
/// cannot be running there. A named prefix that cannot be used gives none:
/// Wine's default is not taken in its place. Read at every call. Throws
/// ErroreImpostazioni when a settings file is unreadable or malformed.
[[nodiscard]] std::optional<std::filesystem::path> PrefissoWine();

/// The prefix named explicitly: $ORVANE_WINEPREFIX, else the key
/// "wineprefix" of the site settings files ("~" and "~/..." stand for the
/// home folder), whether or not it can be used. Throws ErroreImpostazioni
/// as PrefissoWine does: a broken settings file never lets another prefix
/// be chosen in silence.
[[nodiscard]] std::optional<std::filesystem::path> PrefissoWineIndicato();

/// How PrefissoWine chose, for those who show or log it.
struct SceltaPrefissoWine {
  /// The prefix in use, as PrefissoWine gives it.
  std::optional<std::filesystem::path> prefisso;
  /// The prefix named explicitly, as PrefissoWineIndicato gives it.
  std::optional<std::filesystem::path> indicato;
  /// Where the prefix in use or the named one comes from ("variabile
  /// ORVANE_WINEPREFIX", "<settings file>, riga <n>", "variabile
  /// WINEPREFIX", "predefinito di Wine"); empty when there is none.
  std::string origine;
  /// For a named prefix that cannot be used: where it was named, the
  /// folder and why; empty otherwise.
  std::string rifiuto;
};

/// The choice PrefissoWine makes, with where it comes from. Throws
/// ErroreImpostazioni as PrefissoWine does.
[[nodiscard]] SceltaPrefissoWine ScegliPrefissoWine();

/// The folder Wine maps drive `lettera` to in `prefisso`: the target of the
/// link "dosdevices/<l>:", resolved (every link in it followed once, here,
/// so that nothing below it is taken through a link later) where each link
/// on the way is one ScriviFileAtomico would follow; otherwise, and when
/// the target does not exist, the link itself, which leads where Wine's
/// drive leads. nullopt when the prefix has no such drive.
[[nodiscard]] std::optional<std::filesystem::path> CartellaUnitaWine(
    const std::filesystem::path& prefisso, char lettera);

}  // namespace platform
