#pragma once

#include <string_view>

#include <pugixml.hpp>

namespace quomaro {

/// Parses `testo` into `documento` as one well-formed XML document: exactly
/// one root element, with nothing but white space, comments, processing
/// instructions and a document type around it. pugixml on its own accepts
/// several roots and drops text outside the root; answers of that shape are
/// not one document and are refused here. Entities are never expanded.
[[nodiscard]] inline bool CaricaDocumentoUnico(pugi::xml_document& documento,
                                               std::string_view testo,
                                               pugi::xml_encoding codifica = pugi::encoding_auto) {
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
