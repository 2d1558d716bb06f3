#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ProvaQuomaro.h"
#include "ServerOstile.h"
#include "tests/support/MacchinaFinta.h"

namespace orvane::test::ostile {

/// Base of the hostile cases: the library's test base (its log and request
/// copy cleared around each case, message boxes recorded, no proxy) with one
/// hostile server for the whole suite, reset to good behaviour before each
/// case.
class ProvaOstile : public quomaro::test::ProvaQuomaro {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<ServerOstile>(); }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    ProvaQuomaro::SetUp();
    server_->Imposta({});
  }

  static ServerOstile& Server() { return *server_; }

 private:
  static inline std::unique_ptr<ServerOstile> server_;
};

/// The catalogue of the Tervan cases: ROSSI sees three TARVIK packages, 1 to
/// 3 oldest first, each of `byte` random bytes that do not compress (and
/// offered again after they were recorded when `ripeti`); package 2 has type
/// `tipo` and description `filexx` (JSON string bodies).
inline std::string Catalogo(int byte, bool ripeti, const std::string& tipo = "TARVIK",
                            const std::string& filexx = "Pacchetto 2") {
  std::string pacchetti;
  for (int codice = 1; codice <= 3; ++codice) {
    const std::string n = std::to_string(codice);
    pacchetti +=
        std::string(codice > 1 ? ", " : "") + R"({ "codice": )" + n + R"(, "dataxx": "2008-0)" + n +
        R"(-01T10:00:00", "progra": "TARVIK", "TipoXx": ")" + (codice == 2 ? tipo : "TARVIK") +
        R"(", "Filexx": ")" + (codice == 2 ? filexx : "Pacchetto " + n) + R"(", "contenuto": { ")" +
        n + R"(.bin": { "casuali": )" + std::to_string(byte) + R"( } }, "clienti": ["ROSSI"])" +
        (ripeti ? R"(, "ripeti": true })" : " }");
  }
  return R"({ "clienti": [ { "userid": "ROSSI", "abilitato": "S" } ], "pacchetti": [ )" +
         pacchetti + " ] }";
}

/// The file name of package `codice` of that catalogue in its folder.
inline std::string Nome(int codice, const std::string& tipo = "TARVIK") {
  return tipo + "-2008-0" + std::to_string(codice) + "-01-10-00-00-C-" + std::to_string(codice) +
         ".zip";
}

}  // namespace orvane::test::ostile
