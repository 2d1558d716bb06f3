// Entry-field validation: any text, any type, any allowed values, default,
// format and fill character must be handled without a crash, and a date
// field's text must come back without slashes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/clsEditxx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
  // The input is the seven arguments separated by NUL bytes.
  const std::string_view ingresso(reinterpret_cast<const char*>(dati), dimensione);
  std::vector<std::string> argomenti;
  std::size_t inizio = 0;
  while (argomenti.size() < 6) {
    const std::size_t fine = ingresso.find('\0', inizio);
    if (fine == std::string_view::npos) break;
    argomenti.emplace_back(ingresso.substr(inizio, fine - inizio));
    inizio = fine + 1;
  }
  argomenti.emplace_back(ingresso.substr(std::min(inizio, ingresso.size())));
  argomenti.resize(7);
  static const char* const kTipi[] = {"N", "D", "H", "A"};
  std::string& tipo = argomenti[1];
  if (tipo.size() == 1 && tipo[0] >= '0' && tipo[0] <= '3') tipo = kTipi[tipo[0] - '0'];

  orvane::clsEditxx edit;
  std::string txt = argomenti[0];
  const std::string r = edit.Validate(txt, tipo, argomenti[2], argomenti[3], argomenti[4],
                                      argomenti[5], argomenti[6]);
  if (tipo == "D" && txt.find('/') != std::string::npos) std::abort();
  if (tipo == "H" && !r.empty() && r.find('.') == std::string::npos) std::abort();
  return 0;
}
