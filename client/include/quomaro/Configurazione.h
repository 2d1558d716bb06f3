#pragma once

#include <string>

#include "quomaro/Esporta.h"

namespace quomaro {

/// Scheme, host and port of the update server (for example
/// "http://127.0.0.1:8080"), without a trailing "/": the environment variable
/// ORVANE_UPDATE_SERVER when it is set and not empty, otherwise the value
/// fixed when the library was built.
[[nodiscard]] QUOMARO_API std::string ServerAggiornamenti();

/// Full URL of the update service's SOAP endpoint on the update server.
[[nodiscard]] QUOMARO_API std::string EndpointServizio();

/// Scheme, host and port of the maker's web site, without a trailing "/":
/// ORVANE_WEB_SITE when it is set and not empty, otherwise the value fixed
/// when the library was built.
[[nodiscard]] QUOMARO_API std::string SitoWeb();

}  // namespace quomaro
