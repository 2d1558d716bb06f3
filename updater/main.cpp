#include "common/Versione.h"
#include "updater/basTervan.h"

const orvane::Versione orvane::kVersioneModulo{2, 0, 44};

int main(int argc, char** argv) {
  return tervan::Main(argc, argv);
}
