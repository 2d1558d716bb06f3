#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quomaro {

/// Whether an XML answer is a SOAP fault: one well-formed XML document whose
/// root element "Envelope" has a "Body" that holds a "Fault" element, each
/// name read without its prefix (other stacks spell them "soap:",
/// "SOAP-ENV:" or with a default namespace). Some stacks send a fault with a
/// success status.
[[nodiscard]] bool ContieneGuasto(std::string_view risposta);

/// The text of the first element named exactly "return" (no prefix) of an
/// XML answer, in document order, with any markup inside it left out and
/// the white space at its two ends removed; nothing when the answer holds no
/// such element or is not one well-formed XML document (a body cut short,
/// two root elements, text after the root).
///
/// Entities are never expanded and a DOCTYPE is skipped, so an answer cannot
/// make the parser reach outside or grow without bound; the document is
/// walked without recursion, however deeply it nests.
///
/// `rilascia` is called once the answer is parsed and holds the element,
/// before its text is copied out: the caller drops the answer's own bytes
/// there, so that a large answer is never held three times.
///
/// `tipo` is the answer's Content-Type. An answer that says nothing of its
/// own encoding (no byte order mark, no encoding in its declaration) and is
/// not UTF-8 is read as ISO-8859-1 when `tipo` names that charset; a text in
/// UTF-8 stays UTF-8 whatever the charset, since web servers add a default
/// one to whatever they pass on.
[[nodiscard]] std::optional<std::string> TestoRitorno(std::string_view risposta,
                                                      const std::function<void()>& rilascia = {},
                                                      std::string_view tipo = {});

}  // namespace quomaro
