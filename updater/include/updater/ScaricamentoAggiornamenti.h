#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "quomaro/FirmaMinisign.h"
#include "quomaro/Scaricamento.h"
#include "quomaro/clsDownload.h"
#include "updater/ControlliFinestra.h"
#include "updater/ElencoAggiornamenti.h"
#include "updater/StatoFinestra.h"

namespace tervan {

/// The download run: fetches the packages taken from the update list, puts
/// each as a zip file into the "Aggiornamenti" folder of the program it
/// belongs to, records each download on the service, and afterwards, in
/// live mode, opens the customer's download history.
///
/// A package is placed only whole: a 2xx answer whose body has the size the
/// list announced and is a consistent zip archive whose every entry reads
/// through with its CRC. The body streams into a temporary file beside the
/// final one (never writable by group or others), is checked there and
/// renamed over the final one, following no link inside the program's data
/// folder; all packages of a run and their signatures come over one
/// connection to the server that keeps it open. A package counts only
/// once its record reached the service. Anything else stops the
/// run with the failure logged. A failure before the rename writes
/// nothing of that package and leaves an earlier file of the same name as
/// it was; when only the record fails, the package stays in place, as the
/// program would install it.
class ScaricamentoAggiornamenti : public quomaro::DownloadEventi {
 public:
  static constexpr std::string_view kTitoloAvviso = "Avviso";
  static constexpr std::string_view kDomanda =
      "Effettuare il download degli aggiornamenti selezionati?";
  static constexpr std::string_view kNessunoScaricato = "Nessun aggiornamento scaricato";
  static constexpr std::string_view kFumettoTesto =
      "L'aggiornamento verrà installato al prossimo riavvio del programma";
  static constexpr std::string_view kFumettoTitolo =
      "Aggiornamenti Orvane Software - Download aggiornamento eseguito";
  static constexpr std::string_view kTitoloBrowser = "Orvane Software - Windows Internet Explorer";

  ScaricamentoAggiornamenti(StatoFinestra& stato, ControlliFinestra& controlli,
                            ElencoAggiornamenti& elenco);

  /// Mode 1 of an exchange with the service: the run, then the success
  /// balloon, or the message that nothing was downloaded.
  void ConnessioneAggiornamenti();

  /// Fetches, places and records every package taken; `ok` becomes true
  /// when at least one package was placed and recorded.
  void CopiaAggiornamentiInServer(bool& ok);

  /// In live mode after a run that recorded a package: the download history
  /// in the browser, then `chiudi` (the window's close request).
  void MostraCronologia(const std::function<void()>& chiudi);

  /// The downloader's progress: bytes received of the current package.
  void DownloadProgressione(long ByteLetti) override;

  /// A run is in progress.
  [[nodiscard]] bool InCorso() const noexcept { return inCorso_; }
  /// At least one package was recorded in the current run.
  [[nodiscard]] bool CronologiaDaMostrare() const noexcept { return cronologiaDaMostrare_; }
  /// Size of the package being fetched.
  [[nodiscard]] std::int32_t DimensioneFile() const noexcept { return dimensioneFile_; }

  /// "Aggiornamento" + the code as five digits + ".zip".
  [[nodiscard]] static std::string NomeDownload(std::int32_t codice);
  /// The local file name: type + "-" + the package date as
  /// yyyy-mm-dd-hh-mm-ss + "-C-" + code + ".zip". Throws when the type or
  /// the date would not make a plain name inside the folder.
  [[nodiscard]] static std::string NomeLocale(std::string_view tipo, std::string_view data,
                                              std::int32_t codice);
  /// The download record's statement; every value an SQL literal of text an
  /// XML request can carry (other characters become blanks), with ";" (which
  /// would cut the statement in the transport) turned into ",". The customer
  /// is the one the service was asked about: `utente` up to its first ";".
  [[nodiscard]] static std::string ComandoRegistrazione(std::string_view adesso,
                                                        std::string_view utente,
                                                        std::int32_t codice,
                                                        std::string_view descrizione,
                                                        std::string_view sessione);

 private:
  void ScaricaPacchetto(int riga, int contatore, int totale,
                        quomaro::ConnessioneScaricamento& connessione);

  StatoFinestra& stato_;
  ControlliFinestra& controlli_;
  ElencoAggiornamenti& elenco_;
  bool inCorso_ = false;
  bool cronologiaDaMostrare_ = false;
  // The current run was given up because the program is ending.
  bool abbandonata_ = false;
  std::int32_t dimensioneFile_ = 0;
  std::chrono::steady_clock::time_point ultimoRidisegno_{};
  // The maker's key as last read from the program folder, from the start
  // on: what judges the packages should the key file go while the program
  // runs.
  std::optional<quomaro::ChiavePubblica> chiaveVista_;
};

}  // namespace tervan
