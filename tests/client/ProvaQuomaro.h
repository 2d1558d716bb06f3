#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/MacchinaFinta.h"
#include "tests/support/MessaggiRegistrati.h"
#include "tests/support/ServerDiProva.h"
#include "tests/support/ServizioFiglio.h"

namespace quomaro::test {

using orvane::test::ServerGrezzo;
using orvane::test::ServerHttp;
using orvane::test::ServizioFiglio;
using orvane::test::UrlChiuso;

/// Base of the library's tests: Quomaro's own log and request copy are
/// cleared around each test, its message boxes are recorded, no proxy
/// stands between it and the test servers, and ORVANE_UPDATE_SERVER set by
/// a test is removed after it.
class ProvaQuomaro : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  /// The folder of Quomaro.so, where its Tarvik.Log and SOAP.xml live.
  [[nodiscard]] static std::filesystem::path CartellaLibreria() { return QUOMARO_CARTELLA; }
  /// The library's error log, and how many records it holds.
  [[nodiscard]] static std::string Log() {
    return orvane::test::LeggiFile(CartellaLibreria() / "Tarvik.Log");
  }
  [[nodiscard]] static int RecordNelLog() {
    return static_cast<int>(orvane::test::RecordNelLog(Log()));
  }

  orvane::test::MessaggiRegistrati messaggi_;
};

}  // namespace quomaro::test
