// Loaded ahead of a program under test (LD_PRELOAD): every fsync of a
// regular file fails with EIO, as a failing disk reports a write it lost;
// with FSYNC_EIO_CARTELLE in the environment, every fsync of a folder
// instead (a rename the disk did not keep); with FSYNC_EIO_CARTELLA, only
// every fsync of the folder it names.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int fsync(int fd) {
  struct stat s {};
  if (::fstat(fd, &s) != 0) return 0;
  if (const char* sola = std::getenv("FSYNC_EIO_CARTELLA"); sola != nullptr) {
    struct stat guasta {};
    if (::stat(sola, &guasta) != 0 || guasta.st_dev != s.st_dev || guasta.st_ino != s.st_ino)
      return 0;
    errno = EIO;
    return -1;
  }
  const bool cartelle = std::getenv("FSYNC_EIO_CARTELLE") != nullptr;
  if (cartelle ? S_ISDIR(s.st_mode) : S_ISREG(s.st_mode)) {
    errno = EIO;
    return -1;
  }
  return 0;
}
