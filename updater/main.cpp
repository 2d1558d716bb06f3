#include <csignal>

#include "common/Versione.h"
#include "platform/UscitaStandard.h"
#include "updater/basTervan.h"

const orvane::Versione orvane::kVersioneModulo{ORVANE_VERSIONE_MAGGIORE, ORVANE_VERSIONE_MINORE,
                                               ORVANE_VERSIONE_REVISIONE};

int main(int argc, char** argv) {
  platform::RiapriDescrittoriStandard();
  // A file size limit (ulimit -f) makes a write that crosses it fail with
  // EFBIG, which every writer reports, instead of killing Tervan mid-package.
  (void)std::signal(SIGXFSZ, SIG_IGN);
  return tervan::Main(argc, argv);
}
