// Loaded ahead of a program under test (LD_PRELOAD): every fsync of a
// regular file fails with EIO, as a failing disk reports a write it lost.
#include <sys/stat.h>

#include <cerrno>

extern "C" __attribute__((visibility("default"))) int fsync(int fd) {
  struct stat s {};
  if (::fstat(fd, &s) == 0 && S_ISREG(s.st_mode)) {
    errno = EIO;
    return -1;
  }
  return 0;
}
