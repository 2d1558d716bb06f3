#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "quomaro/Esporta.h"

namespace quomaro {

/// One HTTP request, sent asynchronously and completed by polling: the
/// request object that clsSOAP keeps in its XmlReq property. The calls that
/// mirror the classic HTTP request interface keep its names (open,
/// setRequestHeader, send, readyState, status, statusText, responseText,
/// getResponseHeader).
///
/// Only "http" and "https" URLs are accepted. Misuse (a bad method, URL or
/// header, calls out of order) throws orvane::Errore; a transfer that fails
/// (no connection, a broken answer) does not throw: the request completes
/// with ready state 4 and DescrizioneErrore() tells what happened.
///
/// Not copyable, not thread-safe: one request belongs to one thread.
class QUOMARO_API RichiestaHttp {
 public:
  /// Largest answer body held; the transfer of a longer one is stopped as
  /// soon as it passes this size and fails ("Risposta del server troppo
  /// grande"), so an endless answer cannot fill the memory.
  static constexpr std::size_t kDimensioneMassimaRisposta = std::size_t{64} * 1024 * 1024;

  RichiestaHttp();
  ~RichiestaHttp();
  RichiestaHttp(const RichiestaHttp&) = delete;
  RichiestaHttp& operator=(const RichiestaHttp&) = delete;
  RichiestaHttp(RichiestaHttp&&) = delete;
  RichiestaHttp& operator=(RichiestaHttp&&) = delete;

  /// Prepares a request with `metodo` ("GET" or "POST") to `url`. With
  /// `asincrono` false, send() returns only when the answer is complete, or
  /// within a second of the host saying that the program is ending
  /// (ImpostaFineRichiesta): the request then completes as failed.
  /// Opening again drops any request in progress. Ready state becomes 1.
  void open(const std::string& metodo, const std::string& url, bool asincrono);

  /// Adds a request header, sent in the order of the calls. Only between
  /// open() and send().
  void setRequestHeader(const std::string& nome, const std::string& valore);

  /// Starts the request with `corpo` as its body (ignored for GET). Ready
  /// state becomes 2, then 3 when the answer starts arriving and 4 when it is
  /// complete or the transfer failed. Redirects are followed (at most 5,
  /// http and https only) with the same method, body and headers; a loop or
  /// a redirect elsewhere fails the transfer.
  void send(const std::string& corpo);

  /// Waits for network activity at most `massimo`, then advances the
  /// transfer. Returns at once when the request is complete or not sent.
  void Attendi(std::chrono::milliseconds massimo);

  /// 0 created, 1 opened, 2 sent, 3 receiving, 4 complete.
  [[nodiscard]] int readyState() const;
  /// HTTP status code of the answer; 0 while none was received.
  [[nodiscard]] long status() const;
  /// Reason phrase of the answer's status line (for example "OK").
  [[nodiscard]] std::string statusText() const;
  /// The answer body received so far, bytes unchanged.
  [[nodiscard]] const std::string& responseText() const;
  /// Value of the answer header `nome` (case-insensitive), several
  /// occurrences joined by ", "; empty when the answer has none.
  [[nodiscard]] std::string getResponseHeader(std::string_view nome) const;
  /// Hands the answer body over to the caller, who takes it out of the
  /// request: responseText() is empty afterwards. A large answer need not be
  /// held twice once it is read.
  [[nodiscard]] std::string RilasciaRisposta();
  /// Why the transfer failed; empty while it has not failed.
  [[nodiscard]] const std::string& DescrizioneErrore() const;

 private:
  struct Stato;
  std::unique_ptr<Stato> stato_;
};

}  // namespace quomaro
