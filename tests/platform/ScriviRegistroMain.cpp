// A second process for the registry tests: `scrivi_registro PREFISSO N`
// writes N values PREFISSO0.. under HKEY_CURRENT_USER\Software\Prova.
#include <string>

#include "platform/Registro.h"

int main(int argc, char** argv) {
  using namespace platform;
  HKEY h = 0;
  if (argc != 3 ||
      RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Prova", 0, KEY_ALL_ACCESS, h) != ERROR_SUCCESS) {
    return 2;
  }
  const std::string prefisso = argv[1];
  for (int i = 0; i < std::stoi(argv[2]); ++i) {
    const std::string dati = "valore " + std::to_string(i);
    if (RegSetValueEx(h, prefisso + std::to_string(i), REG_SZ, dati.c_str(),
                      static_cast<std::uint32_t>(dati.size() + 1)) != ERROR_SUCCESS) {
      return 3;
    }
  }
  return 0;
}
