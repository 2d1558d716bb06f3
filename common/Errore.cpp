#include "common/Errore.h"

#include <any>
#include <filesystem>
#include <new>
#include <string_view>
#include <system_error>
#include <typeinfo>
#include <variant>

namespace orvane {
namespace {

DescrizioneErrore DaCodiceDiSistema(const std::error_code& codice) {
  const auto c = codice.default_error_condition();
  if (c == std::errc::no_such_file_or_directory)
    return {kFileNonTrovato, "Impossibile trovare il file"};
  if (c == std::errc::not_a_directory)
    return {kPercorsoNonTrovato, "Impossibile trovare il percorso"};
  if (c == std::errc::permission_denied || c == std::errc::operation_not_permitted) {
    return {kPermessoNegato, "Autorizzazione negata"};
  }
  if (c == std::errc::read_only_file_system || c == std::errc::is_a_directory ||
      c == std::errc::device_or_resource_busy || c == std::errc::text_file_busy) {
    return {kErroreAccessoPercorso, "Errore di accesso al percorso/file"};
  }
  if (c == std::errc::no_space_on_device) return {kDiscoPieno, "Disco pieno"};
  if (c == std::errc::file_exists) return {kFileGiaEsistente, "File già esistente"};
  if (c == std::errc::not_enough_memory) return {kMemoriaEsaurita, "Memoria esaurita"};
  if (c == std::errc::io_error) return {kErroreIO, "Errore di I/O della periferica"};
  return {kErroreAccessoPercorso, "Errore di accesso al percorso/file: " + codice.message()};
}

}  // namespace

Errore::Errore(long numero, const std::string& descrizione)
    : std::runtime_error(descrizione), numero_(numero) {}

DescrizioneErrore DescriviErrore(const std::exception_ptr& errore) noexcept {
  try {
    try {
      std::rethrow_exception(errore);
    } catch (const Errore& e) {
      return {e.Numero(), e.what()};
    } catch (const std::bad_alloc&) {
      return {kMemoriaEsaurita, "Memoria esaurita"};
    } catch (const std::length_error&) {
      return {kSpazioStringheEsaurito, "Spazio per le stringhe esaurito"};
    } catch (const std::out_of_range&) {
      return {kIndiceFuoriIntervallo, "Indice non incluso nell'intervallo"};
    } catch (const std::overflow_error&) {
      return {kOverflow, "Overflow"};
    } catch (const std::underflow_error&) {
      return {kOverflow, "Overflow"};
    } catch (const std::invalid_argument&) {
      return {kTipoNonCorrispondente, "Tipo non corrispondente"};
    } catch (const std::bad_variant_access&) {
      return {kTipoNonCorrispondente, "Tipo non corrispondente"};
    } catch (const std::bad_any_cast&) {
      return {kTipoNonCorrispondente, "Tipo non corrispondente"};
    } catch (const std::bad_cast&) {
      return {kTipoNonCorrispondente, "Tipo non corrispondente"};
    } catch (const std::system_error& e) {
      return DaCodiceDiSistema(e.code());
    } catch (const std::exception& e) {
      return {kChiamataNonValida, e.what()};
    } catch (...) {
      return {kChiamataNonValida, "Chiamata di routine o argomento non validi"};
    }
  } catch (...) {
    // Building the description itself failed (no memory left for the text).
    return {kMemoriaEsaurita, {}};
  }
}

std::string TestoErroreDiSistema(const std::system_error& errore) {
  const std::string italiano = DaCodiceDiSistema(errore.code()).descrizione;
  const std::string_view testo = errore.what();
  const std::string sistema = errore.code().message();
  if (testo == sistema) return italiano;
  // The library's form: the caller's text, ": ", the system's reason.
  const std::string coda = ": " + sistema;
  if (testo.size() > coda.size() && testo.ends_with(coda))
    return std::string(testo.substr(0, testo.size() - coda.size())) + ": " + italiano;
  return italiano + " (" + std::string(testo) + ")";
}

}  // namespace orvane
