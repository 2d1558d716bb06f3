#pragma once

#include <string>

namespace platform {

/// Asks the top-level window whose title is exactly `titolo` to close, as
/// its close button would (WM_DELETE_WINDOW), without waiting for it. The
/// title is read as _NET_WM_NAME, else WM_NAME. True when such a window was
/// found and asked; false when there is none or no X display is reachable.
bool ChiudiFinestra(const std::string& titolo);

}  // namespace platform
