#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "ServerOstile.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/MessaggiRegistrati.h"

namespace orvane::test::ostile {

/// Base of the hostile cases: one hostile server for the whole suite,
/// Quomaro's log beside the library cleared around each case, its message
/// boxes recorded, no proxy in between.
class ProvaOstile : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  [[nodiscard]] static std::filesystem::path CartellaLibreria() { return QUOMARO_CARTELLA; }
  [[nodiscard]] static std::string Log() {
    return orvane::test::LeggiFile(CartellaLibreria() / "Tarvik.Log");
  }
  [[nodiscard]] static int RecordNelLog() {
    return static_cast<int>(orvane::test::RecordNelLog(Log()));
  }
  static ServerOstile& Server() { return *server_; }

  orvane::test::MessaggiRegistrati messaggi_;

 private:
  static inline std::unique_ptr<ServerOstile> server_;
};

/// Time since construction.
class Cronometro {
 public:
  [[nodiscard]] std::chrono::steady_clock::duration Trascorso() const {
    return std::chrono::steady_clock::now() - inizio_;
  }

 private:
  std::chrono::steady_clock::time_point inizio_ = std::chrono::steady_clock::now();
};

}  // namespace orvane::test::ostile
