// Registry file reader: any bytes must be read without a crash, and what it
// read must write out as a file that reads back cleanly to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/RegistroFormato.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
  const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
  const platform::FileRegistro file = platform::AnalizzaFileRegistro(testo);
  if (!file.riconosciuto) return 0;
  const std::string scritto = platform::TestoFileRegistro(file.sezioni);
  const platform::FileRegistro riletto = platform::AnalizzaFileRegistro(scritto);
  if (!riletto.riconosciuto || riletto.numeroProblemi != 0 ||
      riletto.sezioni.size() != file.sezioni.size()) {
    std::abort();
  }
  if (platform::TestoFileRegistro(riletto.sezioni) != scritto) std::abort();
  return 0;
}
