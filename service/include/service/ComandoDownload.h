#pragma once

#include <optional>
#include <string_view>

#include "service/DatiServizio.h"

namespace orvane::servizio {

/// The one SQL statement the service executes for its clients: the download
/// record
///   insert into download(dataxx, utente, codzip, descri, session)
///   values('...', '...', '...', '...', '...')
/// with keywords in any case, any whitespace between the tokens, and single
/// quotes doubled inside the literals. The statement is read, never handed
/// to the database: its values are bound to a prepared insert.
class ComandoDownload {
 public:
  /// The record the statement carries; nothing for any other text.
  [[nodiscard]] static std::optional<RecordDownload> Leggi(std::string_view sql);
};

}  // namespace orvane::servizio
