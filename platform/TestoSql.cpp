#include "platform/TestoSql.h"

namespace platform {

std::string LetteraleSql(std::string_view valore) {
  std::string letterale;
  letterale.reserve(valore.size() + 2);
  letterale += '\'';
  for (const char c : valore) {
    if (c == '\'') letterale += '\'';
    letterale += c;
  }
  letterale += '\'';
  return letterale;
}

}  // namespace platform
