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

/// The machine-wide folders of autostart entries, the most important first:
/// autostart/ below each absolute folder of $XDG_CONFIG_DIRS (/etc/xdg when
/// it is unset or names none). Read at every call.
[[nodiscard]] std::vector<std::filesystem::path> CartelleAutostartSistema();

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

/// The entries written through the registry that start at log-on: the
/// values the Run key lists, exports and deletes. They are the user's own
/// (`cartella`) and the machine-wide ones (CartelleAutostartSistema) that no
/// user entry of the same file name overrides, hidden ones left out. Other
/// programs' entries read by name but are never listed, so deleting every
/// value leaves them.
[[nodiscard]] std::vector<VoceAutostart> VociAutostartProprie(
    const std::filesystem::path& cartella);

/// The entry of a value name (without regard to case) that the desktop
/// follows at log-on: the user's, else the first machine-wide one; a hidden
/// entry found first means there is none.
[[nodiscard]] std::optional<VoceAutostart> TrovaVoceAutostart(const std::filesystem::path& cartella,
                                                              std::string_view nome);

/// Writes the entry of a value (replacing the user's one of that name);
/// throws std::system_error, std::invalid_argument for a name too long for a
/// file. When a machine-wide entry of that name already starts the same
/// command, the user's entry (an override that hid it, say) is removed
/// instead, so the program never starts twice at log-on.
void ScriviVoceAutostart(const std::filesystem::path& cartella, std::string_view nome,
                         std::string_view comando);

/// Deletes the entry of a value written through the registry:
/// ERROR_FILE_NOT_FOUND when there is no entry of that name,
/// ERROR_ACCESS_DENIED when the one in effect is another program's. A
/// machine-wide entry is not the user's to delete: the user gets an entry
/// of the same file name with Hidden=true, the override that XDG autostart
/// defines.
LSTATUS CancellaVoceAutostart(const std::filesystem::path& cartella, std::string_view nome);

/// The file name of a value's entry: the name with every character that is
/// unsafe in a file name written %XX ("/" and a leading "." among them, so
/// the entry never leaves the folder), "@" for the default value, then
/// ".desktop". And back.
[[nodiscard]] std::string NomeFileAutostart(std::string_view nome);
[[nodiscard]] std::string NomeDaFileAutostart(std::string_view radiceNomeFile);

/// The content of the entry of a value; a hidden one is the override of a
/// machine-wide entry. The system's own log-on entry also carries its
/// program's icon and a comment.
[[nodiscard]] std::string TestoVoceAutostart(std::string_view nome, std::string_view comando,
                                             bool nascosta = false);

/// A command line (program and arguments, split as a Windows command line
/// is) written as the value of an Exec key, with the quoting and escaping
/// rules of desktop entries; and an Exec value read back as a command line.
[[nodiscard]] std::string RigaExec(std::string_view comando);
[[nodiscard]] std::string ComandoDaRigaExec(std::string_view exec);

}  // namespace platform
