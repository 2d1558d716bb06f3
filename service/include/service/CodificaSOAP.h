#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service/GuastoSOAP.h"

namespace orvane::servizio {

/// An operation call read from a SOAP request.
struct RichiestaSOAP {
  std::string spazioBusta;  ///< namespace URI of the request's envelope
  std::string operazione;   ///< local name of the body's first element
  std::vector<std::pair<std::string, std::string>> parametri;  ///< local name, text; in order

  /// The text of the first parameter with exactly this name; throws
  /// GuastoSOAP when there is none.
  [[nodiscard]] const std::string& Parametro(std::string_view nome) const;
};

/// Reads SOAP requests and writes SOAP answers and faults.
///
/// Requests may use the envelope namespace of Quomaro's requests
/// (http://www.w3.org/2001/06/soap-envelope) or the standard SOAP 1.1 and
/// SOAP 1.2 ones; prefixes are resolved, never compared. Answers use the
/// request's envelope namespace and carry the result in an unprefixed
/// `return` element inside "<operation>Response".
class CodificaSOAP {
 public:
  static constexpr std::string_view kBusta2001 = "http://www.w3.org/2001/06/soap-envelope";
  static constexpr std::string_view kBusta11 = "http://schemas.xmlsoap.org/soap/envelope/";
  static constexpr std::string_view kBusta12 = "http://www.w3.org/2003/05/soap-envelope";
  static constexpr std::string_view kServizio = "http://www.orvane.it/ServizioAggiornamenti/";

  /// The most elements and attributes (counted as the '<' and '=' in the
  /// body) a request may have.
  static constexpr std::size_t kMarcheMassime = 10000;

  /// Reads a request body; throws GuastoSOAP (the sender's fault) when it is
  /// not a SOAP request or has more than kMarcheMassime elements and
  /// attributes.
  [[nodiscard]] static RichiestaSOAP Leggi(std::string_view corpo);

  /// The answer envelope whose `return` element holds `valore` as text.
  [[nodiscard]] static std::string Risposta(std::string_view spazioBusta,
                                            std::string_view operazione, std::string_view valore);

  /// A fault envelope (SOAP 1.2 form for the SOAP 1.2 namespace, SOAP 1.1
  /// form otherwise).
  [[nodiscard]] static std::string Guasto(std::string_view spazioBusta, const GuastoSOAP& guasto);
};

}  // namespace orvane::servizio
