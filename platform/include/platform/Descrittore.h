#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

/// An open file descriptor, closed when the object goes. It can be moved but
/// not copied; an object holding -1 holds nothing.
class Descrittore {
 public:
  Descrittore() noexcept = default;
  explicit Descrittore(int fd) noexcept : fd_(fd) {}
  ~Descrittore();
  Descrittore(Descrittore&& altro) noexcept;
  Descrittore& operator=(Descrittore&& altro) noexcept;
  Descrittore(const Descrittore&) = delete;
  Descrittore& operator=(const Descrittore&) = delete;

  /// The descriptor, -1 when none is held.
  [[nodiscard]] int Fd() const noexcept { return fd_; }

  /// Gives the descriptor up without closing it: the caller now owns it.
  [[nodiscard]] int Rilascia() noexcept;

  /// Closes the descriptor now. False when the close failed (errno says
  /// why): for a file just written this is the last place a write error
  /// shows. True when nothing was held.
  [[nodiscard]] bool Chiudi() noexcept;

 private:
  int fd_ = -1;
};

/// Writes the whole of `dati` to `fd`, going on after short writes and calls
/// interrupted by a signal. Throws std::system_error (errno in the generic
/// category) whose text is `cosa`, usually the name of the file.
void ScriviTutto(int fd, std::string_view dati, std::string_view cosa = "write");

/// Reads the file open on `fd` from its start to its end, whatever its
/// offset, handing each block read (at most 64 KB) to `blocco`. Throws
/// std::system_error (text `cosa`) when a read fails.
void LeggiDaCapo(int fd, const std::function<void(std::string_view blocco)>& blocco,
                 std::string_view cosa = "read");

/// The file open on `fd`, read from its start but no further than `massimo`
/// bytes and one more: a result longer than `massimo` says the file is
/// larger, whatever it holds past that (a device without end among them).
/// Throws std::system_error (text `cosa`) when a read fails.
[[nodiscard]] std::string LeggiAlPiu(int fd, std::size_t massimo, std::string_view cosa = "read");

/// A second descriptor (closed on exec) of the file open on `fd`. Throws
/// std::system_error (text `cosa`) when none can be had.
[[nodiscard]] Descrittore Duplica(int fd, std::string_view cosa = "dup");

/// Reserves room on the disk for `n` more bytes after the end of the file
/// open on `fd`, leaving its length as it is, so that appending them cannot
/// stop half-way for lack of room. Throws std::system_error (text `cosa`)
/// only when the disk has no room for them (ENOSPC, EDQUOT); where the file
/// or its file system cannot reserve, nothing is done.
void RiservaInCoda(int fd, std::size_t n, std::string_view cosa = "fallocate");

}  // namespace platform
