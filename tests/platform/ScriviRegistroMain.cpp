// A second process for the registry tests.
//   scrivi_registro valori PREFISSO N  writes N values PREFISSO0.. under
//                                      HKEY_CURRENT_USER\Software\Prova
//   scrivi_registro blocca             writes one value, but stops for good
//                                      once the new file is on disk and not
//                                      yet renamed ("pronto" on stdout)
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/Registro.h"

int main(int argc, char** argv) {
  using namespace platform;
  const std::string modo = argc > 1 ? argv[1] : "";
  HKEY h = 0;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Prova", 0, KEY_ALL_ACCESS, h) != ERROR_SUCCESS) {
    return 2;
  }
  if (modo == "valori" && argc == 4) {
    const std::string prefisso = argv[2];
    const int n = std::stoi(argv[3]);
    for (int i = 0; i < n; ++i) {
      const std::string dati = "valore " + std::to_string(i);
      if (RegSetValueEx(h, prefisso + std::to_string(i), REG_SZ, dati.c_str(),
                        static_cast<std::uint32_t>(dati.size() + 1)) != ERROR_SUCCESS) {
        return 3;
      }
    }
    return 0;
  }
  if (modo == "blocca") {
    ImpostaOsservatoreScritturaRegistro(
        [](const std::filesystem::path&, const std::filesystem::path&) {
          std::puts("pronto");
          std::fflush(stdout);
          while (true)
            pause();
        });
    const std::string dati = "mai scritto";
    RegSetValueEx(h, "nuovo", REG_SZ, dati.c_str(), static_cast<std::uint32_t>(dati.size() + 1));
    return 4;
  }
  return 1;
}
