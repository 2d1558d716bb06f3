#pragma once

#include <chrono>
#include <filesystem>

#include "platform/Descrittore.h"

namespace platform {

/// An exclusive advisory lock (flock) on an existing folder, held for the
/// life of the object; taking it waits for another holder, for at most
/// `attesaMassima`. Writers that read a file of the folder, change it and
/// replace it atomically hold it from the read to the rename, so that none
/// loses another's change. The kernel drops the lock when its process ends,
/// however it ends. Throws std::system_error naming the folder; a lock still
/// held at the end of the wait fails with EWOULDBLOCK.
class BloccoCartella {
 public:
  explicit BloccoCartella(const std::filesystem::path& cartella,
                          std::chrono::milliseconds attesaMassima = std::chrono::seconds(10));

 private:
  // Closing the descriptor, when the object goes, releases the lock.
  Descrittore fd_;
};

}  // namespace platform
