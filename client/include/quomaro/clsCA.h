#pragma once

#include <memory>
#include <string>

#include "quomaro/Esporta.h"
#include "quomaro/Recordset.h"
#include "quomaro/RichiestaHttp.h"

namespace quomaro {

class clsSOAP;

/// The update service's client: each operation of the service is one SOAP
/// exchange through the object's own clsSOAP, posted to the service endpoint
/// that was configured when the object was created (EndpointServizio()).
/// Later changes of the configuration do not move an existing object.
///
/// Parameters travel as name;value texts, so nothing after the first ";" of
/// a user, a program code or a statement reaches the service.
///
/// Recordsets are handed to the caller, who owns them (shared ownership: a
/// recordset lives as long as someone holds it, whatever happens to the
/// clsCA object). Failures are written to the library's error log (module
/// "clsCA"); a failed exchange with the service reaches the methods as an
/// empty answer and is not logged here (clsSOAP logs what it met).
///
/// Not copyable; one object belongs to one thread. A host must not start a
/// second operation on the same object from a message handler while one is
/// waiting for its answer, and must keep the object alive until the call
/// returns: a host that replaces its client from a message handler holds a
/// reference of its own for the length of the call.
class QUOMARO_API clsCA {
 public:
  /// Creates the transport and fixes the endpoint. A failure is logged
  /// ("Class_Initialize"); the object then exists without a transport and
  /// every later operation fails and is logged.
  clsCA();
  ~clsCA();
  clsCA(const clsCA&) = delete;
  clsCA& operator=(const clsCA&) = delete;
  clsCA(clsCA&&) = delete;
  clsCA& operator=(clsCA&&) = delete;

  /// The request of the latest exchange (nothing before the first one), for
  /// reading its state, status and raw answer.
  [[nodiscard]] std::shared_ptr<RichiestaHttp> XmlReq() const;

  /// Asks whether the customer may use the service: "S" yes, "N" refused,
  /// "" when the exchange failed; any other text is returned as it came.
  std::string RichiestaConnessione(const std::string& Utente);

  /// Sends an SQL statement for the service to execute. The service's answer
  /// is dropped: the caller learns nothing of the statement's outcome.
  void EseguiComandoSQL(const std::string& Valore);

  /// Sends the statement as EseguiComandoSQL does and tells whether the
  /// service took it: true only when the request went out whole and the
  /// service answered it with a success status and a SOAP envelope that is
  /// no fault (a page of a proxy on the way is not the service; some stacks
  /// send a fault with a success status). Not part of the
  /// component's contract: for the Orvane programs, which must know whether
  /// a record reached the service.
  [[nodiscard]] bool InviaComandoSQL(const std::string& Valore);

  /// The packages the service lists for the customer and the program (the
  /// service may list those of every program; callers keep the rows whose
  /// `progra` they want). Always a recordset once the request went out: open
  /// when the answer was one, closed otherwise, and then xmlStream() holds
  /// the answer (a message of the service; empty when the exchange failed).
  /// Nothing only when the request could not be made (logged).
  std::shared_ptr<Recordset> getFILEXX(const std::string& Utente, const std::string& progra);

  /// The rows of a query run by the service: an open recordset (at its end,
  /// BOF and EOF_ both true, when the query found no rows); nothing when the
  /// exchange failed, and nothing with one log record when the answer is not
  /// a recordset.
  std::shared_ptr<Recordset> SelectSQL_ADO(const std::string& StrSql);

  /// The answer of the latest getFILEXX that was not a recordset; emptied at
  /// the start of every getFILEXX. No other operation touches it.
  [[nodiscard]] const std::string& xmlStream() const;
  void xmlStream(const std::string& valore);

 private:
  // The transport, or throws the failure of an object created without one.
  [[nodiscard]] clsSOAP& Trasporto() const;

  std::unique_ptr<clsSOAP> soap_;
  std::string xmlStream_;
};

}  // namespace quomaro
