#pragma once

#include <filesystem>
#include <optional>

namespace platform {

/// The Wine prefix that the maker's programs run in, if any. Named by
/// PrefissoWineIndicato; else $WINEPREFIX, or ~/.wine when $WINEPREFIX is
/// not set (as Wine itself chooses), when that folder holds a "system.reg".
/// A prefix is used only when it is an absolute path to a folder owned by
/// the user running this program: Wine refuses any other, so the programs
/// cannot be running there. Read at every call.
[[nodiscard]] std::optional<std::filesystem::path> PrefissoWine();

/// The prefix named explicitly: $ORVANE_WINEPREFIX, else the key
/// "wineprefix" of the site settings files ("~" and "~/..." stand for the
/// home folder). A settings file that cannot be read names no prefix here:
/// Tervan refuses to start with it anyway.
[[nodiscard]] std::optional<std::filesystem::path> PrefissoWineIndicato();

/// The folder Wine maps drive `lettera` to in `prefisso`: the target of the
/// link "dosdevices/<l>:", resolved (every link in it followed once, here,
/// so that nothing below it is taken through a link later); nullopt when
/// the prefix has no such drive or its target does not exist.
[[nodiscard]] std::optional<std::filesystem::path> CartellaUnitaWine(
    const std::filesystem::path& prefisso, char lettera);

}  // namespace platform
