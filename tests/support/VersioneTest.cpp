#include "common/Versione.h"

// Test programs report this version in the records they log.
const orvane::Versione orvane::kVersioneModulo{9, 8, 7};
