#pragma once

#include <chrono>
#include <string>

namespace tervan {

/// How long a component's self-registration may run.
inline constexpr std::chrono::milliseconds kLimiteRegistrazione{10000};

/// Registers (or unregisters) a component by running its own entry point
/// "DllRegisterServer" ("DllUnregisterServer") on a worker thread.
///
/// True only when the entry point ran to its end within `limite`; what it
/// returns is not examined. A missing file, a file that is no library or a
/// library without the entry point gives false at once. A component named
/// "X.dll" or "X.ocx" is looked up as "X.so" beside it.
///
/// Loading the library and running the entry point both happen on the
/// worker thread, so the caller is never blocked longer than the limit. An
/// entry point still running when the limit strikes is left to finish on its
/// own thread, which keeps the library loaded until it has returned.
bool RegServer(const std::string& sServerPath, bool bRegister,
               std::chrono::milliseconds limite = kLimiteRegistrazione) noexcept;

}  // namespace tervan
