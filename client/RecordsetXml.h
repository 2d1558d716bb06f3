#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RecordsetDati.h"

namespace quomaro {

/// Reads and writes the XML persistence format of recordsets.
class RecordsetXml {
 public:
  /// The columns and records of a persisted recordset; nothing when the text
  /// is not one well-formed XML document, has another shape, or has rows that do not match the
  /// schema. Walks only the levels of the format, never recursively, so deep or huge documents cost
  /// no stack.
  [[nodiscard]] static std::optional<DatiRecordset> Leggi(std::string_view xml);

  /// The persisted text of the records at positions `righe` of `dati`, in
  /// that order.
  [[nodiscard]] static std::string Scrivi(const DatiRecordset& dati,
                                          const std::vector<std::size_t>& righe);
};

}  // namespace quomaro
