#pragma once

namespace quomaro {

/// Whether the host said that the program is ending (ImpostaFineRichiesta):
/// every wait of the library gives up then.
[[nodiscard]] bool FineRichiesta();

}  // namespace quomaro
