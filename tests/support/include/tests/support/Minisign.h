#pragma once

#include <filesystem>
#include <string>

#include "tests/support/CartellaTemporanea.h"

namespace orvane::test {

/// A throw-away key pair made by the real `minisign` tool (no password),
/// which also makes every signature: the verifier is never checked against
/// signatures of our own making.
class ChiaviMinisign {
 public:
  ChiaviMinisign();

  /// The public key file.
  [[nodiscard]] std::filesystem::path Pubblica() const { return cartella_ / "chiave.pub"; }

  /// Signs `file` as the maker would, into `file`.minisig (or `firma`):
  /// prehashed unless `legacy`; with minisign's default trusted comment
  /// unless one is given. Fails the test when minisign fails.
  void Firma(const std::filesystem::path& file, bool legacy = false,
             const std::string& commentoFidato = "", const std::filesystem::path& firma = {}) const;

 private:
  CartellaTemporanea cartella_;
};

}  // namespace orvane::test
