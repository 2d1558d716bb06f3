#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registro.h"

namespace platform {

/// Whether the key `percorso` below the root `radice` is a key whose string
/// values are XDG autostart entries: the Run key
/// (SOFTWARE\Microsoft\Windows\CurrentVersion\Run) of HKEY_LOCAL_MACHINE or
/// HKEY_CURRENT_USER.
[[nodiscard]] bool ChiaveAutostart(HKEY radice, const std::vector<std::string>& percorso);

/// The path of that key below its root.
[[nodiscard]] const std::vector<std::string>& PercorsoChiaveAutostart();

/// An autostart entry seen as a registry value: its name and its command.
struct VoceAutostart {
  std::string nome;
  std::string comando;
  std::filesystem::path file;
  bool nascosta = false;  ///< Hidden=true: the entry counts as deleted
  bool propria = false;   ///< written through the registry (it has our own key)
};

/// Every entry of the folder ("*.desktop"), ordered by file name, hidden
/// ones included only when asked for.
[[nodiscard]] std::vector<VoceAutostart> VociAutostart(const std::filesystem::path& cartella,
                                                       bool ancheNascoste = false);

/// The entries written through the registry, hidden ones left out: the
/// values the Run key lists, exports and deletes. Other programs' entries
/// read by name but are never listed, so deleting every value leaves them.
[[nodiscard]] std::vector<VoceAutostart> VociAutostartProprie(
    const std::filesystem::path& cartella);

/// The entry of a value name (without regard to case).
[[nodiscard]] std::optional<VoceAutostart> TrovaVoceAutostart(const std::filesystem::path& cartella,
                                                              std::string_view nome,
                                                              bool ancheNascoste = false);

/// Writes the entry of a value (replacing the one of that name); throws
/// std::system_error, std::invalid_argument for a name too long for a file.
void ScriviVoceAutostart(const std::filesystem::path& cartella, std::string_view nome,
                         std::string_view comando, const OsservatoreScritturaRegistro& osservatore);

/// Deletes the entry of a value written through the registry:
/// ERROR_FILE_NOT_FOUND when there is no entry of that name,
/// ERROR_ACCESS_DENIED when the only one is another program's.
LSTATUS CancellaVoceAutostart(const std::filesystem::path& cartella, std::string_view nome);

/// The file name of a value's entry: the name with every character that is
/// unsafe in a file name written %XX ("/" and a leading "." among them, so
/// the entry never leaves the folder), "@" for the default value, then
/// ".desktop". And back.
[[nodiscard]] std::string NomeFileAutostart(std::string_view nome);
[[nodiscard]] std::string NomeDaFileAutostart(std::string_view radiceNomeFile);

/// The content of the entry of a value.
[[nodiscard]] std::string TestoVoceAutostart(std::string_view nome, std::string_view comando);

/// A command line (program and arguments, split as a Windows command line
/// is) written as the value of an Exec key, with the quoting and escaping
/// rules of desktop entries; and an Exec value read back as a command line.
[[nodiscard]] std::string RigaExec(std::string_view comando);
[[nodiscard]] std::string ComandoDaRigaExec(std::string_view exec);

}  // namespace platform
