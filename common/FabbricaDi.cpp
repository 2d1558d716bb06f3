#include "common/FabbricaDi.h"

namespace orvane {

std::atomic<long>& OggettiInVita() noexcept {
  static std::atomic<long> conto{0};
  return conto;
}

}  // namespace orvane
