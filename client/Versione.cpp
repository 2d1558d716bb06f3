#include "common/Versione.h"

// The version that Quomaro reports in its error log.
const orvane::Versione orvane::kVersioneModulo{2, 0, 6};
