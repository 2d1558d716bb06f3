// Logs N failures with the given description, then ends: a second process
// for the tests of the error log.
#include <cstdlib>
#include <string>

#include "common/Versione.h"
#include "common/basUtilxx.h"

const orvane::Versione orvane::kVersioneModulo{2, 0, 44};

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const int quanti = std::atoi(argv[1]);
  for (int i = 0; i < quanti; ++i) {
    orvane::ScriviErrore(std::to_string(i), "5", argv[2], "basProva", "Scrivi");
  }
  return 0;
}
