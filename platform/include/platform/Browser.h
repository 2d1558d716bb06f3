#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace platform {

/// Opens a web address in the user's browser and tells whether a browser
/// could be started. The host may install its own; the default starts
/// xdg-open.
using PortaBrowser = std::function<bool(const std::string& url)>;

/// Installs the browser launcher of this module; an empty function restores
/// the default.
void ImpostaPortaBrowser(PortaBrowser porta);

/// Opens `url` through the installed launcher.
bool ApriNelBrowser(const std::string& url);

/// The default launcher: starts "xdg-open url" (found on PATH, no shell in
/// between; in the user's home folder, with the standard descriptors alone and
/// every signal at its default) and waits up to `attesa` for it. True when it ended with
/// status 0, or is still running at the end of the wait (a browser run in
/// the foreground); false when it cannot be started or reports a failure.
/// A launcher still running is reaped in the background when it ends.
bool ApriConXdgOpen(const std::string& url,
                    std::chrono::milliseconds attesa = std::chrono::seconds(10));

}  // namespace platform
