#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "service/OperazioniServizio.h"

namespace orvane::servizio {

class ServerHttp;

/// The HTTP front of the service:
///
/// - POST /ServizioAggiornamenti/ServizioAggiornamenti.php: a SOAP request,
///   answered "text/xml; charset=utf-8" with the operation's result or, with
///   status 500, a SOAP fault;
/// - GET /ServizioAggiornamenti/download/AggiornamentoNNNNN.zip: a package
///   file from the download folder, and AggiornamentoNNNNN.zip.minisig its
///   signature when the maker put one beside it (404 otherwise);
/// - GET /cronologia.aspx?session=ID: the download history page of a session.
///
/// Request bodies are limited to kCorpoMassimo bytes (status 413 beyond it,
/// whether the length is declared or the body comes in chunks). Every request writes
/// one line to the log: time (UTC), client address, method, path, status,
/// answer size.
class ServizioHttp {
 public:
  static constexpr std::size_t kCorpoMassimo = std::size_t{10} * 1024 * 1024;
  /// How much of a body over the limit is read and dropped before the
  /// connection is closed on its sender.
  static constexpr std::size_t kCorpoScartabile = 8 * kCorpoMassimo;
  /// How long one read of a request may wait for its bytes.
  static constexpr std::chrono::seconds kAttesaLettura{3};
  /// How long one write of an answer may wait for the client to take its
  /// bytes: as long as a download waits for data before giving up, since a
  /// slow link (ADSL, 4G) holds seconds of data queued on the way.
  static constexpr std::chrono::seconds kAttesaScrittura{60};
  /// How long a connection is kept open for its next request, and for how
  /// many requests.
  static constexpr std::chrono::seconds kAttesaRichiesta{2};
  static constexpr std::size_t kRichiestePerConnessione = 20;
  /// How long the line and headers of a request may take to arrive whole
  /// once their first byte came. Until then the connection waits on no
  /// thread: clients that send a byte now and then hold no worker.
  static constexpr std::chrono::seconds kAttesaTesta{10};
  /// How long a whole request, body included, may take to arrive.
  static constexpr std::chrono::seconds kTempoRichiesta{30};
  /// The threads answering requests whose head has arrived, each one at a
  /// time.
  static constexpr std::size_t kLavoratori = 32;
  static constexpr const char* kPercorsoSOAP = "/ServizioAggiornamenti/ServizioAggiornamenti.php";

  ServizioHttp(OperazioniServizio& operazioni, ArchivioServizio& archivio,
               std::filesystem::path cartellaDownload, std::ostream& log);
  /// Stops the server if it is running.
  ~ServizioHttp();
  ServizioHttp(const ServizioHttp&) = delete;
  ServizioHttp& operator=(const ServizioHttp&) = delete;

  /// Binds `host`:`porta` (0: a free port) and starts answering on a thread
  /// of its own. Returns the port. Throws std::runtime_error when the
  /// address cannot be bound.
  int Avvia(const std::string& host, int porta);

  /// Whether the server is still answering (false once stopped or failed).
  [[nodiscard]] bool InEsecuzione() const noexcept;

  /// Blocks until the server has stopped answering (stopped, or its accept
  /// loop failed); returns at once when it is not answering. Safe to call
  /// from another thread while Ferma runs.
  void AttendiFineAscolto() const;

  /// Stops answering and waits for the server's thread.
  void Ferma();

 private:
  void RispondiSOAP(const httplib::Request& richiesta, httplib::Response& risposta,
                    const httplib::ContentReader& lettore);
  void ServiPacchetto(const httplib::Request& richiesta, httplib::Response& risposta);
  void ServiCronologia(const httplib::Request& richiesta, httplib::Response& risposta);
  void ScriviLog(const httplib::Request& richiesta, const httplib::Response& risposta);

  OperazioniServizio& operazioni_;
  ArchivioServizio& archivio_;
  std::filesystem::path cartellaDownload_;
  std::ostream& log_;
  std::mutex mutexLog_;
  std::unique_ptr<ServerHttp> server_;
  std::thread thread_;
  // Whether the accept loop is not running: before Avvia, and once it ended.
  std::atomic<bool> ascoltoFinito_{true};
};

}  // namespace orvane::servizio
