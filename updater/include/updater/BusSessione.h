#pragma once

#include <chrono>
#include <string>

namespace tervan {

/// The session bus's address as libdbus finds it: DBUS_SESSION_BUS_ADDRESS,
/// or else the socket "bus" in $XDG_RUNTIME_DIR; empty for none.
[[nodiscard]] std::string IndirizzoBusSessione();

/// Whether the session bus at `indirizzo` (a D-Bus address, as in
/// DBUS_SESSION_BUS_ADDRESS) takes a connection and then says nothing for
/// `attesa`: a hung bus daemon, or a socket that is no bus. libdbus waits
/// for such a bus without end, and Qt's whole program with it. Only the
/// first address of the list is tried, and only when it is a Unix socket
/// (path or abstract name); any other, and one that refuses at once, is
/// left to libdbus, which fails on it by itself.
[[nodiscard]] bool BusMuto(const std::string& indirizzo, std::chrono::milliseconds attesa);

}  // namespace tervan
