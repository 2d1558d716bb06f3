#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvane {

/// Writes one failure record to "Tarvik.Log" beside the running deliverable
/// (the program folder for Tervan, the library's folder for Quomaro) when
/// the user may write there, else in the user's own state folder (see
/// platform/Collocazione.h), and,
/// unless the command line is exactly "DEBUG", shows the record in a modal
/// message box with an OK button, no icon and the program's title.
///
/// Never fails: when the log cannot be written the write failure is noted on
/// standard error and the record is still shown, or under "DEBUG" written
/// whole to standard error.
void ScriviErrore(std::string_view Linea, std::string_view Numero, std::string_view Descrizione,
                  std::string_view Modulo, std::string_view Routine) noexcept;

/// The record text that ScriviErrore writes (without the closing CR LF that
/// the write adds), for the given date text. The description's control
/// characters are written as \xHH (platform::ControlliVisibili).
[[nodiscard]] std::string TestoRecordErrore(std::string_view data, std::string_view Numero,
                                            std::string_view Descrizione, std::string_view Modulo,
                                            std::string_view Routine, std::string_view Linea);

/// The deliverable that runs this code: its file, its error log, its
/// project name (file name without extension) and version.
[[nodiscard]] std::filesystem::path PercorsoDeliverable();
[[nodiscard]] std::filesystem::path FileLogErrori();
[[nodiscard]] std::string NomeProgetto();
[[nodiscard]] std::string TestoVersione();

/// The per-user settings of the management program, each field named after
/// the setting it is read from (application "TARVIKX", section "Utente").
struct DatiUtente {
  std::string Server;
  std::string UserId;
  std::string PassXx;
  std::string Tarvik;
  std::string CodAzi;
  std::string DesAzi;  ///< every "&" doubled, ready for a caption
  std::string PercXx;
  std::string Remoto;
  std::string DataXx;
  std::string PercorsoDatiRelativoServer;
  bool operator==(const DatiUtente&) const = default;
};

/// Reads the ten settings of DatiUtente; a missing setting reads as "". A
/// failure is logged (basUtilxx, GetUtente) and the fields read before it
/// keep their values.
[[nodiscard]] DatiUtente GetUtente();

/// One setting of the per-user application settings store: the string value
/// `chiave` of HKEY_CURRENT_USER\Software\VB and VBA Program
/// Settings\<applicazione>\<sezione>. A missing section or value, or a value
/// that is not a string, reads as `predefinito`. Throws orvane::Errore when
/// the store cannot be read (or the application or section name is empty),
/// for the calling routine to log.
[[nodiscard]] std::string GetSetting(std::string_view applicazione, std::string_view sezione,
                                     std::string_view chiave, std::string_view predefinito = {});

/// Opens `Url` in a new browser window and returns at once. When no browser
/// can be started, shows "Impossibile avviare Internet Explorer" (critical
/// icon, OK button, caption "Avviso"). Never logs.
void BrowserUrl(const std::string& Url);

/// Asks the top-level window whose title is exactly `Caption` to close,
/// without waiting; nothing happens when there is none. A failure is logged
/// (basUtilxx, CloseApplication). Defined in the library common_finestre,
/// which links X11 and which only Tervan links.
void CloseApplication(const std::string& Caption);

/// Date and time in the system's general date format: the user's locale's
/// short date, a space, its long time.
[[nodiscard]] std::string DataGenerale(std::chrono::system_clock::time_point istante);

}  // namespace orvane
