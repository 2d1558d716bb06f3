#pragma once

// libzip, loaded the first time a package is checked. Tervan does not link
// it: with the crypto library it pulls in, it would be loaded at every start
// though most starts check no package for a while.

#include <zip.h>

namespace tervan::zip {

/// The libzip functions Tervan calls, each with the type its header
/// declares, named without the `zip_` prefix.
struct Funzioni {
  decltype(&::zip_fdopen) fdopen;
  decltype(&::zip_discard) discard;
  decltype(&::zip_get_num_entries) get_num_entries;
  decltype(&::zip_fopen_index) fopen_index;
  decltype(&::zip_fread) fread;
  decltype(&::zip_fclose) fclose;
};

/// libzip, loaded once for the whole process at the first call. Throws
/// orvane::Errore when it cannot be loaded or lacks a function; the next
/// call tries again.
const Funzioni& Libzip();

}  // namespace tervan::zip
