#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvane {

/// Writes one failure record to "Tarvik.Log" beside the running deliverable
/// (the program folder for Tervan, the library's folder for Quomaro) and,
/// unless the command line is exactly "DEBUG", shows the record in a modal
/// message box with an OK button, no icon and the program's title.
///
/// Never fails: when the log cannot be written the record is still shown and
/// the write failure is noted on standard error.
void ScriviErrore(std::string_view Linea, std::string_view Numero, std::string_view Descrizione,
                  std::string_view Modulo, std::string_view Routine) noexcept;

/// The record text that ScriviErrore writes (without the closing CR LF that
/// the write adds), for the given date text.
[[nodiscard]] std::string TestoRecordErrore(std::string_view data, std::string_view Numero,
                                            std::string_view Descrizione,
                                            std::string_view Modulo, std::string_view Routine,
                                            std::string_view Linea);

/// The deliverable that runs this code: its file, the folder that holds the
/// error log, its project name (file name without extension) and version.
[[nodiscard]] std::filesystem::path PercorsoDeliverable();
[[nodiscard]] std::filesystem::path FileLogErrori();
[[nodiscard]] std::string NomeProgetto();
[[nodiscard]] std::string TestoVersione();

/// Date and time in the system's general date format: the user's locale's
/// short date, a space, its long time.
[[nodiscard]] std::string DataGenerale(std::chrono::system_clock::time_point istante);

}  // namespace orvane
