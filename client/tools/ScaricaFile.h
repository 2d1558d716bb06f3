#pragma once

#include <optional>
#include <string>

namespace quomaro::strumento {

/// What the server says of an address before it is downloaded.
struct Sonda {
  /// Why the server could not be asked (no connection, bad address); empty
  /// when it answered.
  std::string errore;
  long stato = 0;                       ///< HTTP status of the answer
  std::optional<long long> dimensione;  ///< declared length of the body
};

/// Asks the server for the head of `url` (HTTP HEAD, redirects followed),
/// so that a download knows its size and an error status before it starts.
[[nodiscard]] Sonda SondaUrl(const std::string& url);

}  // namespace quomaro::strumento
