#pragma once

#include <cstdint>
#include <string>

#include "platform/Registro.h"

namespace orvane {

/// Registry access by full key path ("HKEY_LOCAL_MACHINE\SOFTWARE\...") and
/// string values only. Every routine returns true on success and false
/// otherwise (TrovaBase excepted); registry error codes become false, never
/// failures. Failures of the routines themselves go to the error log with
/// module "basFunzioniRegistro".

/// Handle of an unknown root name: no registry call accepts it.
inline constexpr platform::HKEY kRadiceSconosciuta = 0x88888888U;

/// Returns the root key handle named before the first "\" of `Chiave` (root
/// name without regard to case; kRadiceSconosciuta for any other name) and
/// leaves in `Chiave` the subkey path after that "\". A path without "\" is
/// a failure: logged, 0 returned, `Chiave` unchanged.
platform::HKEY TrovaBase(std::string& Chiave);

/// Opens the existing key `Chiave` (never creates one) with the access mask
/// `Accesso`; its handle goes to `hChiave`.
bool ApriChiave(std::string Chiave, platform::HKEY& hChiave, std::uint32_t Accesso);

/// Closes a key opened by ApriChiave.
bool ChiudiChiave(platform::HKEY hChiave);

/// Reads the REG_SZ value `NomeValore` of `Chiave` (text up to the first
/// zero byte). On any miss (no key, no value, another type, even
/// REG_EXPAND_SZ) `Risultato` takes `Predefinito`. Writes no log record.
bool LeggiChiaveStringa(std::string Chiave, std::string NomeValore, std::string& Risultato,
                        std::string Predefinito);

/// Writes `Valore` as the REG_SZ value `NomeValore` of the existing key
/// `Chiave`; when `Valore` equals `ValoreCancella` (exactly) deletes the value
/// instead.
bool ScriviChiaveStringa(std::string Chiave, std::string NomeValore, std::string Valore,
                         std::string ValoreCancella);

/// Deletes the value `NomeValore` from an open key; false when it does not
/// exist.
bool CancellaValore(platform::HKEY hChiave, std::string NomeValore);

}  // namespace orvane
