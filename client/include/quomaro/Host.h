#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/Messaggi.h"
#include "platform/Orologio.h"
#include "quomaro/Esporta.h"

// Quomaro carries its own copy of the platform ports. A host hands its own
// implementations to the library through these functions; setting the ports
// of the host's copy does not reach the library.

namespace quomaro {

/// Message boxes of the library (its error records) go through `porta`; an
/// empty function restores the default, which writes to standard error.
QUOMARO_API void ImpostaPortaMessaggi(platform::PortaMessaggi porta);

/// The host's message pump, run while the library waits for the update
/// service (an answer, or a download's data) so that the host's window, tray
/// icon and timers keep running; an empty function removes it.
QUOMARO_API void ImpostaPompaMessaggi(std::function<void()> pompa);

/// How the library learns that the program is ending (the desktop session
/// ends): while `finita` answers true, a wait for the service or a download
/// is abandoned within a second and fails. An empty function removes it.
/// It is called often, from the library's waits: it must be quick. It may
/// be replaced or removed from any thread, also by itself.
QUOMARO_API void ImpostaFineRichiesta(std::function<bool()> finita);

/// Whether the host's function (ImpostaFineRichiesta) says now that the
/// program is ending; false without one.
[[nodiscard]] QUOMARO_API bool ProgrammaInChiusura();

/// The clock that the library's timeouts read; an empty function restores the
/// system clock. For tests.
QUOMARO_API void ImpostaOrologio(std::function<platform::Istante()> orologio);

/// Replaces the command line as the library sees it (the text "DEBUG" keeps
/// its error records out of message boxes); std::nullopt restores the real one.
QUOMARO_API void SostituisciRigaDiComando(std::optional<std::string> testo);

}  // namespace quomaro
