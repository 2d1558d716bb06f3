#pragma once

#include <exception>
#include <string_view>
#include <type_traits>
#include <utility>

namespace orvane {

/// Reports a failure caught by a routine to the error log: the statement
/// number reached, the failure's number and description, module and routine.
void SegnalaErrore(int linea, const std::exception_ptr& errore, std::string_view modulo,
                   std::string_view routine) noexcept;

/// Runs the body of a routine under the system's failure handling.
///
/// The body receives the routine's statement number by reference and
/// advances it as it goes (10, 20, 30, ...). Should anything fail, the
/// failure is written to the error log with the number reached, the module
/// and the routine name, and the routine returns its empty result (a value-
/// initialised R: empty string, false, zero, no object). Failures never leave
/// a routine as exceptions.
///
///   std::string clsCA::RichiestaConnessione(const std::string& utente) {
///     return Routine("clsCA", "RichiestaConnessione", [&](int& linea) {
///       linea = 10;
///       ...
///     });
///   }
template <class Corpo>
auto Routine(std::string_view modulo, std::string_view routine, Corpo&& corpo) noexcept
    -> std::invoke_result_t<Corpo, int&> {
  using Risultato = std::invoke_result_t<Corpo, int&>;
  int linea = 0;
  try {
    return std::forward<Corpo>(corpo)(linea);
  } catch (...) {
    SegnalaErrore(linea, std::current_exception(), modulo, routine);
  }
  if constexpr (!std::is_void_v<Risultato>) {
    return Risultato{};
  }
}

/// Runs a body whose failures are ignored without any record, for the
/// routines and steps that the system lets fail silently. Returns whether
/// the body ran to its end.
template <class Corpo>
bool Tacitamente(Corpo&& corpo) noexcept {
  try {
    std::forward<Corpo>(corpo)();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace orvane
