#pragma once

#include <string>

#include "quomaro/FirmaMinisign.h"
#include "quomaro/Scaricamento.h"

namespace tervan {

/// Judges a downloaded package by the maker's signature, before it is
/// placed. With the key file `aggiornamenti.pub` in the program folder the
/// package at `indirizzo` passes only when its `.minisig`, fetched from the
/// same folder of the server (over `connessione`, when given), verifies for
/// the bytes `pacchetto` reads under the package's own name; otherwise a
/// failure naming the package and the reason is thrown. Without the key
/// file every package passes, and the first package of a run
/// (`primoDellaCorsa`) notes on standard error that packages are not
/// verified. A key file that is there but unusable fails every package.
void VerificaFirmaPacchetto(const std::string& indirizzo,
                            const quomaro::LetturaPacchetto& pacchetto, bool primoDellaCorsa,
                            quomaro::ConnessioneScaricamento* connessione = nullptr);

}  // namespace tervan
