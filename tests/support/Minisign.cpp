#include "tests/support/Minisign.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/Processo.h"

namespace orvane::test {

ChiaviMinisign::ChiaviMinisign() {
  const Esito e = Esegui("minisign", {"-G", "-W", "-p", Pubblica().string(), "-s",
                                      (cartella_ / "chiave.sec").string()});
  EXPECT_EQ(e.codice, 0) << "minisign -G: " << e.err;
}

void ChiaviMinisign::Firma(const std::filesystem::path& file, bool legacy,
                           const std::string& commentoFidato,
                           const std::filesystem::path& firma) const {
  std::vector<std::string> argomenti{"-S", "-s", (cartella_ / "chiave.sec").string(), "-m",
                                     file.string()};
  if (legacy) argomenti.emplace_back("-l");
  if (!commentoFidato.empty()) argomenti.insert(argomenti.end(), {"-t", commentoFidato});
  if (!firma.empty()) argomenti.insert(argomenti.end(), {"-x", firma.string()});
  const Esito e = Esegui("minisign", argomenti);
  EXPECT_EQ(e.codice, 0) << "minisign -S: " << e.err;
}

}  // namespace orvane::test
