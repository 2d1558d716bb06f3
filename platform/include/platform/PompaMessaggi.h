#pragma once

#include <functional>

namespace platform {

/// Lets the host process its pending window events while a routine waits
/// (the SOAP exchange, long work on the window's thread). The host installs
/// its own pump; without one, waiting routines simply do not pump.
void ImpostaPompaMessaggi(std::function<void()> pompa);

/// Runs the installed pump once, if any.
void ElaboraMessaggiInAttesa();

}  // namespace platform
