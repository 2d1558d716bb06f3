// Loaded ahead of a program under test (LD_PRELOAD): someone who may write
// a folder exchanges the file the program is renaming into place for one of
// theirs, just before the rename. The first rename of a temporary file (its
// name starts with '.') out of the folder of SCAMBIO_CON is preceded by an
// exchange of that temporary with the file SCAMBIO_CON names.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::atomic<bool> fatto{false};

bool NellaCartella(int cartella, const char* altrui) {
  struct stat qui {};
  struct stat sua {};
  const std::string sopra = std::filesystem::path(altrui).parent_path().string();
  return ::fstat(cartella, &qui) == 0 && ::stat(sopra.c_str(), &sua) == 0 &&
         qui.st_dev == sua.st_dev && qui.st_ino == sua.st_ino;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int renameat(int da, const char* vecchio, int a,
                                                               const char* nuovo) {
  const char* altrui = std::getenv("SCAMBIO_CON");
  if (altrui != nullptr && vecchio[0] == '.' && NellaCartella(da, altrui) && !fatto.exchange(true))
    (void)::syscall(SYS_renameat2, da, vecchio, AT_FDCWD, altrui, RENAME_EXCHANGE);
  return static_cast<int>(::syscall(SYS_renameat2, da, vecchio, a, nuovo, 0));
}
