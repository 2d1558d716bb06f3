#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quomaro/Esporta.h"
#include "quomaro/RichiestaHttp.h"

namespace quomaro {

/// Carries every exchange with the update service: builds the SOAP request
/// of an operation, keeps a copy of it in "SOAP.xml" beside the library,
/// posts it to URI and waits for the answer, keeping the host's messages
/// running, for at most about 30 seconds.
///
/// An empty answer is the only sign of failure that reaches the caller;
/// failures are written to the library's error log (module "clsSOAP"), and
/// those met while sending or waiting are kept in StatoRichiesta instead.
/// A redirect to another http:// address is followed with the same request,
/// at most five times. Why an exchange failed (no
/// connection, a refused or broken transfer, the timeout) is also written to
/// standard error with the endpoint, where the session's journal keeps it.
/// Once the host says the program is ending (ImpostaFineRichiesta) the wait
/// is abandoned at once, as a failed exchange.
///
/// The object must outlive each call of InviaRichiestaPOST: the host's
/// messages run during the wait, and a handler must not release it then.
class QUOMARO_API clsSOAP {
 public:
  /// Namespace of the update service's operations: "SOAPAction" is this URI
  /// immediately followed by the operation name.
  static constexpr std::string_view kNamespaceServizio =
      "http://www.orvane.it/ServizioAggiornamenti/";
  /// The wait for an answer ends when more than this many clock-second
  /// boundaries have been crossed since the send.
  static constexpr int kSecondiAttesaMassima = 30;

  clsSOAP();
  ~clsSOAP();
  clsSOAP(const clsSOAP&) = delete;
  clsSOAP& operator=(const clsSOAP&) = delete;
  clsSOAP(clsSOAP&&) = delete;
  clsSOAP& operator=(clsSOAP&&) = delete;

  /// Full URL of the service endpoint; empty until the owner sets it.
  [[nodiscard]] const std::string& URI() const;
  void URI(const std::string& valore);

  /// Description of the last failure met while sending a request or waiting
  /// for its answer; a later successful request does not clear it.
  [[nodiscard]] const std::string& StatoRichiesta() const;

  /// The request of the most recent InviaRichiestaPOST (empty before the
  /// first call), kept after the call, also unfinished after a timeout; an
  /// unfinished request stays as the timeout found it (nothing drives it on).
  /// Its body is let go once the result of an XML answer was read from it;
  /// an answer without a result, or not XML, stays whole.
  [[nodiscard]] std::shared_ptr<RichiestaHttp> XmlReq() const;

  /// Posts the operation `funzione` with the parameters `Parametri` and
  /// returns the text of the answer's "return" element (for an XML answer)
  /// or the whole answer (for any other content type); empty on failure.
  ///
  /// Each element of `Parametri` is name;value. The last element (the upper
  /// bound) is never sent, so one parameter needs two elements. Text after
  /// a second ";" is not sent.
  std::string InviaRichiestaPOST(const std::vector<std::string>& Parametri,
                                 const std::string& funzione);

  /// What of a parameter's value reaches the service: the text before its
  /// first ";". Callers that must name what they asked about (a download
  /// record names the customer of its list) use the same rule.
  [[nodiscard]] static std::string_view ValoreInviato(std::string_view valore);

  /// Whether the latest InviaRichiestaPOST built its request whole (false
  /// when building it failed and an empty body went out).
  [[nodiscard]] bool RichiestaCostruita() const { return richiestaCostruita_; }

  /// Changes the time limit of the wait for this object (tests use a short
  /// one); kSecondiAttesaMassima until changed.
  void ImpostaSecondiAttesaMassima(int secondi);

 private:
  static std::string CreaRichiestaSOAP(const std::string& funzione,
                                       const std::vector<std::string>& Parametri);

  std::string uri_;
  std::string statoRichiesta_;
  std::shared_ptr<RichiestaHttp> xmlReq_;
  int secondiAttesaMassima_ = kSecondiAttesaMassima;
  bool richiestaCostruita_ = false;
};

}  // namespace quomaro
