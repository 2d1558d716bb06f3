// A second process for the crash and full-disk cases.
//   scrivi_ostile registro DA   sets HKEY_CURRENT_USER\Software\Prova\Contatore
//                               to DA, DA+1, ... for ever, printing each value
//                               once it is written (a large neighbour value
//                               makes every write take a while)
//   scrivi_ostile uno VALORE    sets Contatore to VALORE once: 0 written, 1 not
//   scrivi_ostile DEBUG         logs one failure beside this program
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/Versione.h"
#include "common/basUtilxx.h"
#include "platform/Registro.h"

const orvane::Versione orvane::kVersioneModulo{2, 0, 44};

namespace {

bool Imposta(platform::HKEY h, const std::string& nome, const std::string& dati) {
  return platform::RegSetValueEx(h, nome, platform::REG_SZ, dati.c_str(),
                                 static_cast<std::uint32_t>(dati.size() + 1)) ==
         platform::ERROR_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace platform;
  const std::string modo = argc > 1 ? argv[1] : "";
  if (modo == "DEBUG" && argc == 2) {
    orvane::ScriviErrore("10", "61", "Disco pieno", "basProva", "Scrivi");
    return 0;
  }
  HKEY h = 0;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Prova", 0, KEY_ALL_ACCESS, h) != ERROR_SUCCESS) {
    return 2;
  }
  if (modo == "uno" && argc == 3) return Imposta(h, "Contatore", argv[2]) ? 0 : 1;
  if (modo != "registro" || argc != 3) return 2;
  if (!Imposta(h, "Riempitivo", std::string(16 * 1024, 'r'))) return 3;
  for (long long n = std::stoll(argv[2]);; ++n) {
    if (!Imposta(h, "Contatore", std::to_string(n))) return 3;
    const std::string riga = std::to_string(n) + "\n";
    if (::write(STDOUT_FILENO, riga.data(), riga.size()) < 0) return 4;
  }
}
