#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace platform {

/// Called once the new content is on disk under its temporary name and
/// before it is renamed over the file (tests of crash safety stop a writer
/// right there).
using OsservatoreFileAtomico = std::function<void(const std::filesystem::path& temporaneo,
                                                  const std::filesystem::path& destinazione)>;

/// Replaces `file` with `contenuto` so that the file is always either the
/// old or the whole new content, even across a crash: a temporary file in
/// the same folder (named "." + the file's name + "." + six letters or
/// digits) is written and flushed to disk, renamed over `file`, and the
/// folder is flushed. `modo` gives the new file's permissions exactly;
/// without it the umask decides them, as for any new file. The new file
/// keeps the owner and group of the file it replaces where the writer may
/// give it them (root may). When `file` is a symbolic link, the file it
/// points to is replaced and the link stays. Throws
/// std::system_error whose text names `file`; the temporary file is then
/// removed and `file` is untouched.
void ScriviFileAtomico(const std::filesystem::path& file, std::string_view contenuto,
                       std::optional<mode_t> modo = std::nullopt,
                       const OsservatoreFileAtomico& osservatore = {});

/// Removes the temporary files (beside the file a link points to, for a
/// link) that writers of `file` killed before their rename left behind:
/// regular files named exactly as a writer names its temporaries, nothing
/// else. Only safe where no other writer of `file` can be at
/// work, that is under a lock every writer takes.
void RimuoviTemporaneiOrfani(const std::filesystem::path& file);

}  // namespace platform
