#pragma once

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace orvane::test::ostile {

/// A small tmpfs mounted over a folder for the length of a test (as root),
/// for the test to fill up.
class DiscoPieno {
 public:
  explicit DiscoPieno(std::filesystem::path cartella) : cartella_(std::move(cartella)) {
    std::filesystem::create_directories(cartella_);
    if (::mount("tmpfs", cartella_.c_str(), "tmpfs", 0, "size=64m") != 0)
      motivo_ = std::string("nessun tmpfs disponibile: ") + std::strerror(errno);
  }
  ~DiscoPieno() {
    if (motivo_.empty()) ::umount2(cartella_.c_str(), MNT_DETACH);
  }
  DiscoPieno(const DiscoPieno&) = delete;
  DiscoPieno& operator=(const DiscoPieno&) = delete;

  /// Why no file system could be mounted; empty when it is.
  [[nodiscard]] const std::string& Motivo() const noexcept { return motivo_; }

  /// Fills the file system: whatever is written from now on finds no room
  /// beyond the pages files already hold.
  void Riempi() const {
    std::ofstream riempitivo(cartella_ / "riempitivo", std::ios::binary);
    const std::string blocco(4096, 'x');
    while (riempitivo.write(blocco.data(), static_cast<std::streamsize>(blocco.size())) &&
           riempitivo.flush()) {
    }
  }

 private:
  std::filesystem::path cartella_;
  std::string motivo_;
};

}  // namespace orvane::test::ostile
