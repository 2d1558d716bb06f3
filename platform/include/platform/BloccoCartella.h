#pragma once

#include <filesystem>

#include "platform/Descrittore.h"

namespace platform {

/// An exclusive advisory lock (flock) on an existing folder, held for the
/// life of the object; taking it waits for any other holder. Writers that
/// replace files of the folder atomically and clean up the temporaries that
/// killed writers left (RimuoviTemporaneiOrfani) hold it from the clean-up
/// to the rename, so that no writer removes another's temporary at work. The
/// kernel drops the lock when its process ends, however it ends. Throws
/// std::system_error naming the folder.
class BloccoCartella {
 public:
  explicit BloccoCartella(const std::filesystem::path& cartella);

 private:
  // Closing the descriptor, when the object goes, releases the lock.
  Descrittore fd_;
};

}  // namespace platform
