#pragma once

#include <filesystem>
#include <string>

namespace orvane::test::ostile {

/// A small tmpfs mounted over a folder for the length of a test (as root),
/// for the test to fill up.
class DiscoPieno {
 public:
  explicit DiscoPieno(std::filesystem::path cartella);
  ~DiscoPieno();
  DiscoPieno(const DiscoPieno&) = delete;
  DiscoPieno& operator=(const DiscoPieno&) = delete;

  /// Whether the file system is mounted; otherwise why not.
  [[nodiscard]] bool Montato() const noexcept { return montato_; }
  [[nodiscard]] const std::string& Motivo() const noexcept { return motivo_; }

  /// Fills the file system: whatever is written from now on finds no room
  /// beyond the pages files already hold.
  void Riempi() const;

 private:
  std::filesystem::path cartella_;
  bool montato_ = false;
  std::string motivo_;
};

}  // namespace orvane::test::ostile
