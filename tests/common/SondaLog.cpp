// A shared library that logs one failure from its own copy of the common code.
#include "common/Versione.h"
#include "common/basUtilxx.h"

const orvane::Versione orvane::kVersioneModulo{2, 0, 6};

extern "C" __attribute__((visibility("default"))) void SondaScriviErrore(const char* descrizione) {
  orvane::ScriviErrore("20", "91", descrizione, "clsSonda", "Prova");
}
