#pragma once

namespace orvane {

/// A deliverable's version: major, minor, revision.
struct Versione {
  int maggiore = 0;
  int minore = 0;
  int revisione = 0;
};

/// The version of the deliverable this code is linked into. Each deliverable
/// (and each test program) defines it once, so the shared code that writes
/// the error log reports the version of whoever runs it.
extern const Versione kVersioneModulo;

}  // namespace orvane
