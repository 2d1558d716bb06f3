#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Registro.h"
#include "tests/support/CartellaTemporanea.h"

namespace orvane::test {

/// A whole user's machine in a temporary folder for the length of a test:
/// registry, XDG configuration (autostart), data (drive C:), Wine prefix (none
/// until a test makes one) and runtime (the user's sockets) folders, set
/// through the environment as a real session sets them. The command line
/// reads "DEBUG" (no message boxes) and this program's error log starts
/// empty. Everything is put back when the object goes.
class MacchinaFinta {
 public:
  MacchinaFinta();
  ~MacchinaFinta();
  MacchinaFinta(const MacchinaFinta&) = delete;
  MacchinaFinta& operator=(const MacchinaFinta&) = delete;

  [[nodiscard]] std::filesystem::path Registro() const { return cartella_ / "registro"; }
  [[nodiscard]] std::filesystem::path Configurazione() const { return cartella_ / "config"; }
  [[nodiscard]] std::filesystem::path Autostart() const { return Configurazione() / "autostart"; }
  /// The machine-wide configuration folder ($XDG_CONFIG_DIRS) and its log-on entries.
  [[nodiscard]] std::filesystem::path ConfigurazioneSistema() const { return cartella_ / "xdg"; }
  [[nodiscard]] std::filesystem::path AutostartSistema() const {
    return ConfigurazioneSistema() / "autostart";
  }
  [[nodiscard]] std::filesystem::path Dati() const { return cartella_ / "dati"; }
  [[nodiscard]] std::filesystem::path Esecuzione() const { return cartella_ / "run"; }
  /// $WINEPREFIX: a prefix once a test puts a "system.reg" in it.
  [[nodiscard]] std::filesystem::path Wine() const { return cartella_ / "wine"; }
  [[nodiscard]] std::filesystem::path FileRadice(const std::string& radice) const {
    return Registro() / (radice + ".reg");
  }
  [[nodiscard]] const std::filesystem::path& Percorso() const { return cartella_.Percorso(); }

  /// Sets (or with std::nullopt removes) one more variable until the end.
  void Imposta(const std::string& nome, const std::optional<std::string>& valore);

  /// This program's error log, "" when nothing was logged.
  [[nodiscard]] static std::string Log();

 private:
  CartellaTemporanea cartella_;
  std::map<std::string, std::optional<std::string>> originali_;
};

/// How many failure records a log text holds.
[[nodiscard]] std::size_t RecordNelLog(const std::string& log);

// The registry store as another program would set it up or read it;
// failures to set it up throw.
void ScriviTesto(platform::HKEY radice, std::string_view chiave, std::string_view nome,
                 std::string_view valore);
[[nodiscard]] std::optional<std::string> LeggiTesto(platform::HKEY radice, std::string_view chiave,
                                                    std::string_view nome = "");
/// Imports registry-file lines (the header is added).
void ImportaReg(std::string_view righe);
/// The registry file text of a key, in UTF-8 for comparing.
[[nodiscard]] std::string EsportaReg(platform::HKEY radice, std::string_view chiave = "");

}  // namespace orvane::test
