#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "ProvaQuomaro.h"
#include "ServerOstile.h"
#include "tests/support/MacchinaFinta.h"

namespace orvane::test::ostile {

/// Base of the hostile cases: the library's test base (its log and request
/// copy cleared around each case, message boxes recorded, no proxy) with one
/// hostile server for the whole suite, reset to good behaviour around each
/// case.
class ProvaOstile : public quomaro::test::ProvaQuomaro {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<ServerOstile>(); }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    ProvaQuomaro::SetUp();
    server_->Imposta({});
  }
  void TearDown() override {
    server_->Imposta({});
    ProvaQuomaro::TearDown();
  }

  static ServerOstile& Server() { return *server_; }

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
