#pragma once

#include <optional>
#include <string>

#include "quomaro/FirmaMinisign.h"
#include "quomaro/Scaricamento.h"

namespace tervan {

/// Judges a downloaded package by the maker's signature, before it is
/// placed. With the key file `aggiornamenti.pub` in the program folder the
/// package at `indirizzo` passes only when its `.minisig`, fetched from the
/// same folder of the server (over `connessione`, when given), verifies for
/// the bytes `pacchetto` reads under the package's own name; otherwise a
/// failure naming the package and the reason is thrown. The key read is
/// kept in `chiaveVista`: once a key was there, a key file gone (the
/// program being removed or replaced while it runs) judges by the key kept,
/// never lets a package through unverified. Without the key file and no key
/// kept every package passes, and the first package of a run
/// (`primoDellaCorsa`) notes on standard error that packages are not
/// verified. A key file that is there but unusable fails every package.
void VerificaFirmaPacchetto(const std::string& indirizzo,
                            const quomaro::LetturaPacchetto& pacchetto, bool primoDellaCorsa,
                            std::optional<quomaro::ChiavePubblica>& chiaveVista,
                            quomaro::ConnessioneScaricamento* connessione = nullptr);

/// The maker's key as the program folder holds it now, to be kept from the
/// program's start as VerificaFirmaPacchetto's `chiaveVista`: a program
/// started with the key never places a package unverified, even when the
/// file goes before its first package. None when the file is missing or
/// unusable (every package then reads the file again and fails on it).
[[nodiscard]] std::optional<quomaro::ChiavePubblica> ChiaveInstallata();

}  // namespace tervan
