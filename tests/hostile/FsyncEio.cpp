// Loaded ahead of a program under test (LD_PRELOAD): every fsync of a
// regular file fails with EIO, as a failing disk reports a write it lost;
// with FSYNC_EIO_CARTELLA in the environment, only every fsync of the folder
// it names instead (a rename or a folder the disk did not keep).
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
  if (S_ISREG(s.st_mode)) {
    errno = EIO;
    return -1;
  }
  return 0;
}
