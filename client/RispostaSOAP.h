#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quomaro {

/// The text of the first element named exactly "return" (no prefix) of an
/// XML answer, in document order, with any markup inside it left out and
/// the white space at its two ends removed; nothing when the answer holds no
/// such element or is not one well-formed XML document (a body cut short,
/// two root elements, text after the root).
///
/// Entities are never expanded and a DOCTYPE is skipped, so an answer cannot
/// make the parser reach outside or grow without bound; the document is
/// walked without recursion, however deeply it nests.
[[nodiscard]] std::optional<std::string> TestoRitorno(std::string_view risposta);

}  // namespace quomaro
