#include "common/Versione.h"

// The version that Brisko reports.
const orvane::Versione orvane::kVersioneModulo{1, 0, 0};
