#pragma once

#include <stdexcept>
#include <string>

#include "brisko/Esporta.h"

namespace brisko {

/// A failure the tab strip reports to its host, with the platform's
/// run-time error number (9 subscript out of range, 6 overflow, 13 type
/// mismatch, ...). The control is the one part of the system whose failures
/// reach the caller as exceptions; it writes nothing to the error log.
class BRISKO_API ErroreControllo : public std::runtime_error {
 public:
  ErroreControllo(long numero, const std::string& descrizione);
  /// The error numbered `numero` with the platform's own description.
  explicit ErroreControllo(long numero);
  ~ErroreControllo() override;
  ErroreControllo(const ErroreControllo&) = default;
  ErroreControllo& operator=(const ErroreControllo&) = default;

  [[nodiscard]] long Numero() const noexcept { return numero_; }

  static constexpr long kOverflow = 6;
  static constexpr long kIndiceFuoriIntervallo = 9;
  static constexpr long kTipoNonCorrispondente = 13;
  static constexpr long kFileNonTrovato = 53;
  static constexpr long kErroreAccessoPercorso = 75;
  static constexpr long kFormatoFileNonValido = 321;
  static constexpr long kMembroNonSupportato = 438;
  static constexpr long kArgomentoObbligatorio = 449;
  static constexpr long kImmagineNonValida = 481;

 private:
  long numero_;
};

}  // namespace brisko
