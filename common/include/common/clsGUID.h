#pragma once

#include <string>
#include <string_view>

namespace orvane {

/// Makes new globally unique identifiers as text.
class clsGUID {
 public:
  /// A fresh random (version 4) identifier in the 38-character registry form
  /// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case digits, with
  /// every character of `strRemoveChars` removed wherever it occurs.
  [[nodiscard]] std::string CreateGUID(std::string_view strRemoveChars) const;
};

}  // namespace orvane
