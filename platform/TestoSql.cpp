#include "platform/TestoSql.h"

namespace platform {

std::string LetteraleSql(std::string_view valore) {
  std::string letterale;
  letterale.reserve(valore.size() + 2);
  letterale += '\'';
  for (const char c : valore) {
    letterale += c;
    if (c == '\'') letterale += '\'';
  }
  letterale += '\'';
  return letterale;
}

}  // namespace platform
