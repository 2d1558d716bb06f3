// Loaded ahead of a program under test (LD_PRELOAD): the kernel's random
// source gives only zero bytes, so that anything the program names "at
// random" is a name an attacker could foresee.
#include <sys/types.h>

#include <cstddef>
#include <cstring>

extern "C" __attribute__((visibility("default"))) ssize_t getrandom(void* buffer,
                                                                    std::size_t lunghezza,
                                                                    unsigned int /*flags*/) {
  std::memset(buffer, 0, lunghezza);
  return static_cast<ssize_t>(lunghezza);
}
