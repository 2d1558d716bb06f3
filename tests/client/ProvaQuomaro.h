#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/MessaggiRegistrati.h"

namespace quomaro::test {

/// Base of the library's tests: Quomaro's own log and request copy are
/// cleared around each test, its message boxes are recorded, and no proxy
/// stands between it and the test servers.
class ProvaQuomaro : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  /// The folder of Quomaro.so, where its Tarvik.Log and SOAP.xml live.
  [[nodiscard]] static std::filesystem::path CartellaLibreria();
  /// The library's error log, and how many records it holds.
  [[nodiscard]] static std::string Log();
  [[nodiscard]] static int RecordNelLog();

  orvane::test::MessaggiRegistrati messaggi_;
};

}  // namespace quomaro::test
