#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// One value of a site settings file and where it was read.
struct ImpostazioneLetta {
  std::string valore;
  std::filesystem::path file;
  int riga = 0;
};

/// What the site settings files set: the update server (key "server") and
/// the maker's web site (key "sito"), each as scheme, host and port, and
/// the Wine prefix the maker's programs run in (key "wineprefix", an
/// absolute folder or one below "~").
struct ImpostazioniSito {
  std::optional<ImpostazioneLetta> server;
  std::optional<ImpostazioneLetta> sito;
  std::optional<ImpostazioneLetta> wineprefix;
};

/// A settings file that cannot be read, is refused (see
/// LeggiFileImpostazioni) or holds a line that is not a known "key = value";
/// the text names the file and why, and for a bad line its number.
class ErroreImpostazioni : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// An address the settings take for "server" and "sito": "http://" or
/// "https://" (in any case), then a host, with no blank or control
/// character anywhere and no query or fragment ("?", "#").
[[nodiscard]] bool IndirizzoValido(std::string_view valore);

/// An address of that form, for the texts that ask for one.
inline constexpr std::string_view kEsempioIndirizzo = "http://aggiornamenti.example:8080";

/// The settings files in the order they are looked at: "orvane/tervan.conf"
/// in $XDG_CONFIG_HOME (else ~/.config), then in each folder of
/// $XDG_CONFIG_DIRS (else /etc/xdg); relative folders are skipped.
[[nodiscard]] std::vector<std::filesystem::path> FileImpostazioni();

/// Reads one settings file: "key = value" lines, blanks around both ignored;
/// empty lines and lines whose first non-blank character is "#" are
/// comments. Each key may appear once: server and sito with an address that
/// begins with "http://" or "https://", wineprefix with a folder that begins
/// with "/" or "~". Only a regular file of at most 64 KB is read, opened
/// without waiting should it be a FIFO, a link followed only where
/// ApriInLettura follows one; and only when root or the reading user owns it
/// and every folder above it and nobody else may write any of them (group
/// write is allowed through the owner's private group, an access ACL may
/// grant write to no other user or group, and a folder anyone may write
/// needs the sticky bit), since whoever may change the file
/// chooses the server for everyone who reads it. Throws ErroreImpostazioni
/// naming the file and why.
[[nodiscard]] ImpostazioniSito LeggiFileImpostazioni(const std::filesystem::path& file);

/// Every settings file of FileImpostazioni() that exists, each key taken
/// from the first that sets it. Throws ErroreImpostazioni when any of them
/// is unreadable or malformed: a broken file is never skipped.
[[nodiscard]] ImpostazioniSito LeggiImpostazioniSito();

}  // namespace platform
