#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <system_error>

namespace orvane {

/// Run-time error numbers of the platform that the system reports in its
/// error log, and the numbers of the system's own failures.
enum NumeroErrore : long {
  kChiamataNonValida = 5,                   ///< invalid procedure call or argument
  kOverflow = 6,                            ///< overflow
  kMemoriaEsaurita = 7,                     ///< out of memory
  kIndiceFuoriIntervallo = 9,               ///< subscript out of range
  kTipoNonCorrispondente = 13,              ///< type mismatch
  kSpazioStringheEsaurito = 14,             ///< out of string space
  kFileNonTrovato = 53,                     ///< file not found
  kErroreIO = 57,                           ///< device I/O error
  kFileGiaEsistente = 58,                   ///< file already exists
  kDiscoPieno = 61,                         ///< disk full
  kPermessoNegato = 70,                     ///< permission denied
  kErroreAccessoPercorso = 75,              ///< path/file access error
  kPercorsoNonTrovato = 76,                 ///< path not found
  kOggettoNonImpostato = 91,                ///< object variable not set
  kErroreApplicazione = -2147221504 + 512,  ///< base of the system's own failures
};

/// A failure raised by the system's own logic, with its number and its
/// description as the error log shows them.
class Errore : public std::runtime_error {
 public:
  Errore(long numero, const std::string& descrizione);
  [[nodiscard]] long Numero() const noexcept { return numero_; }

 private:
  long numero_;
};

/// Number and description of a failure, as reported to the error log.
struct DescrizioneErrore {
  long numero = 0;
  std::string descrizione;
};

/// Translates any exception into the platform's run-time error number and
/// description where one fits (out of range 9, overflow 6, type mismatch 13,
/// out of memory 7, file not found 53, path/file access 75, ...).
[[nodiscard]] DescrizioneErrore DescriviErrore(const std::exception_ptr& errore) noexcept;

/// The text of a system failure as a box or the error log gives it: what was
/// being done (what `errore` says before the system's reason), then the
/// reason in the words of DescriviErrore, whatever the locale. The system's
/// own reason is in the language of the locale when it was thrown, English
/// without one, and never reaches the user.
[[nodiscard]] std::string TestoErroreDiSistema(const std::system_error& errore);

}  // namespace orvane
