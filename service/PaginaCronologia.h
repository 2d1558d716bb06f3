#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "service/DatiServizio.h"

namespace orvane::servizio {

/// The download history page of one session, in Italian. Every value is
/// escaped by the XML writer, so a session or description holding markup is
/// shown as text.
class PaginaCronologia {
 public:
  /// The page's title; a browser shows it in its window caption.
  static constexpr const char* kTitolo = "Orvane Software";

  [[nodiscard]] static std::string Componi(std::string_view session,
                                           const std::vector<RecordDownload>& download);
};

}  // namespace orvane::servizio
