#pragma once

#include <filesystem>
#include <optional>
#include <utility>

#include "platform/Descrittore.h"

namespace platform {

/// An exclusive lock on a file, held for the life of the object (and so,
/// in the program, for the life of the process). The kernel releases it
/// when the process ends however it ends, so a crashed run never blocks the
/// next start.
class BloccoIstanza {
 public:
  /// Takes the lock without waiting; std::nullopt when another process
  /// holds it. The file is created when missing and opened read-only when
  /// it may only be read (another user's), so every user who can read it
  /// sees the same instance. A link in the file's place is never followed.
  /// Throws std::system_error when the lock file
  /// can be neither created nor read.
  [[nodiscard]] static std::optional<BloccoIstanza> Acquisisci(const std::filesystem::path& file);

 private:
  explicit BloccoIstanza(Descrittore fd) noexcept : fd_(std::move(fd)) {}
  // Closing the descriptor, when the object goes, releases the lock.
  Descrittore fd_;
};

}  // namespace platform
