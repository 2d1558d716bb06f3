#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace quomaro {

// Text comparisons of the recordset: field names and texts compare without
// regard to case (ASCII letters), as the data-access layer does.

inline char MinuscolaAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

inline std::string MinuscoloAscii(std::string_view testo) {
  std::string r(testo);
  std::transform(r.begin(), r.end(), r.begin(), MinuscolaAscii);
  return r;
}

inline bool UgualiSenzaMaiuscole(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return MinuscolaAscii(x) == MinuscolaAscii(y);
         });
}

inline int ConfrontaSenzaMaiuscole(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(MinuscolaAscii(a[i]));
    const auto y = static_cast<unsigned char>(MinuscolaAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace quomaro
