#pragma once

#include <cstddef>
#include <string_view>

#include <pugixml.hpp>

namespace quomaro {

/// Parses `testo` into `documento` as one well-formed XML document: exactly
/// one root element, with nothing but white space, comments, processing
/// instructions and a document type around it. pugixml on its own accepts
/// several roots and drops text outside the root; answers of that shape are
/// not one document and are refused here. Entities are never expanded.
/// Nor is a text with more than kSegniMassimi marks of markup ("<", and
/// "=" before a quote, blanks allowed between them): each element or
/// attribute costs the parsed tree tens of bytes however short its text, so
/// that 64 MB of "<a/>" would take over a gigabyte. Text that the markup
/// escapes ("&lt;") does not count.
inline constexpr std::size_t kSegniMassimi = 2'000'000;

[[nodiscard]] inline bool CaricaDocumentoUnico(pugi::xml_document& documento,
                                               std::string_view testo,
                                               pugi::xml_encoding codifica = pugi::encoding_auto) {
  // Counted on the bytes, so in UTF-16 too (the NUL halves are skipped, as
  // are the blanks XML allows after "=").
  std::size_t segni = 0;
  for (std::size_t i = 0; i < testo.size(); ++i) {
    if (testo[i] == '<') {
      ++segni;
    } else if (testo[i] == '=') {
      std::size_t j = i + 1;
      while (j < testo.size() && (testo[j] == '\0' || testo[j] == ' ' || testo[j] == '\t' ||
                                  testo[j] == '\r' || testo[j] == '\n'))
        ++j;
      if (j < testo.size() && (testo[j] == '"' || testo[j] == '\'')) ++segni;
    }
  }
  if (segni > kSegniMassimi) return false;
  // As a fragment, text outside the root is kept, so that it can be seen.
  if (!documento.load_buffer(testo.data(), testo.size(), pugi::parse_default | pugi::parse_fragment,
                             codifica)) {
    return false;
  }
  int radici = 0;
  for (const pugi::xml_node n : documento.children()) {
    if (n.type() == pugi::node_element) ++radici;
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) return false;
  }
  return radici == 1;
}

}  // namespace quomaro
