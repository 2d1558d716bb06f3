// Any bytes as an answer of the update service: the reader of the "return"
// element may not crash, hang or recurse, and what it returns is never more
// than the answer held.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "RispostaSOAP.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
  const std::string_view risposta(reinterpret_cast<const char*>(dati), dimensione);
  if (const auto testo = quomaro::TestoRitorno(risposta); testo && testo->size() > dimensione) {
    std::abort();
  }
  return 0;
}
