// Reader of Wine's registry files: any bytes must be read without a crash;
// a file refused has no sections; what it accepts must name valid keys and
// write out, under a root, as a registry file that reads back cleanly to
// the same sections.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/RegistroFormato.h"
#include "platform/RegistroWineFormato.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
  const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
  platform::FileRegistro file = platform::AnalizzaFileRegistroWine(testo);
  if (file.numeroProblemi != 0 && file.problemi.empty()) std::abort();
  if (!file.riconosciuto) {
    if (file.numeroProblemi == 0 || !file.sezioni.empty()) std::abort();
    return 0;
  }
  std::vector<platform::SezioneFileRegistro> scrivibili;
  for (auto& s : file.sezioni) {
    if (s.chiave.empty() || s.chiave.front() == '\\' || s.chiave.back() == '\\') std::abort();
    // Wine allows line breaks in key names; the editor's format cannot
    // carry them.
    if (s.chiave.find_first_of("\r\n") != std::string_view::npos) continue;
    s.chiave = "HKEY_CURRENT_USER\\" + s.chiave;
    scrivibili.push_back(std::move(s));
  }
  const platform::FileRegistro riletto =
      platform::AnalizzaFileRegistro(platform::TestoFileRegistro(scrivibili));
  if (riletto.numeroProblemi != 0 || riletto.sezioni != scrivibili) std::abort();
  return 0;
}
