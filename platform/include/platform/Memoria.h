#pragma once

#include <cstddef>

namespace platform {

/// Asks the system to back the whole pages inside [inizio, inizio + byte)
/// with large pages where it can: a buffer of hundreds of megabytes filled
/// once then takes a few hundred page faults instead of tens of thousands.
/// Only a hint: nothing changes where the system declines it.
void PreferisciPagineGrandi(void* inizio, std::size_t byte) noexcept;

}  // namespace platform
