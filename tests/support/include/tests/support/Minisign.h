#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/CartellaTemporanea.h"
#include "tests/support/Processo.h"

namespace orvane::test {

/// A throw-away key pair made by the real `minisign` tool (no password),
/// which also makes every signature: the verifier is never checked against
/// signatures of our own making.
class ChiaviMinisign {
 public:
  ChiaviMinisign() {
    const Esito e = Esegui("minisign", {"-G", "-W", "-p", Pubblica().string(), "-s", Segreta()});
    EXPECT_EQ(e.codice, 0) << "minisign -G: " << e.err;
    // minisign leaves the mode to the umask; a key others may write is refused.
    std::filesystem::permissions(Pubblica(), std::filesystem::perms(0644));
  }

  /// The public key file.
  [[nodiscard]] std::filesystem::path Pubblica() const { return cartella_ / "chiave.pub"; }

  /// Signs `file` as the maker would, into `file`.minisig (or `firma`):
  /// prehashed unless `legacy`; with minisign's default trusted comment
  /// unless one is given. Fails the test when minisign fails.
  void Firma(const std::filesystem::path& file, bool legacy = false,
             const std::string& commentoFidato = "",
             const std::filesystem::path& firma = {}) const {
    std::vector<std::string> argomenti{"-S", "-s", Segreta(), "-m", file.string()};
    if (legacy) argomenti.emplace_back("-l");
    if (!commentoFidato.empty()) argomenti.insert(argomenti.end(), {"-t", commentoFidato});
    if (!firma.empty()) argomenti.insert(argomenti.end(), {"-x", firma.string()});
    const Esito e = Esegui("minisign", argomenti);
    EXPECT_EQ(e.codice, 0) << "minisign -S: " << e.err;
  }

 private:
  [[nodiscard]] std::string Segreta() const { return (cartella_ / "chiave.sec").string(); }

  CartellaTemporanea cartella_;
};

}  // namespace orvane::test
