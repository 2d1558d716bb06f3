#include "platform/Memoria.h"

#include <sys/mman.h>

#include <cstdint>

namespace platform {

void PreferisciPagineGrandi(void* inizio, std::size_t byte) noexcept {
#ifdef MADV_HUGEPAGE
  // Large pages are 2 MB on the machines this runs on; smaller buffers gain
  // nothing from the hint.
  constexpr std::uintptr_t kPaginaGrande = std::uintptr_t{2} << 20U;
  const auto da = reinterpret_cast<std::uintptr_t>(inizio);
  const std::uintptr_t primo = (da + kPaginaGrande - 1) & ~(kPaginaGrande - 1);
  const std::uintptr_t fine = (da + byte) & ~(kPaginaGrande - 1);
  if (fine <= primo) return;
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the range lies inside the caller's buffer.
  (void)::madvise(reinterpret_cast<void*>(primo), fine - primo, MADV_HUGEPAGE);
#else
  (void)inizio;
  (void)byte;
#endif
}

}  // namespace platform
