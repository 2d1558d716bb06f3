#pragma once

#include <chrono>
#include <mutex>

#include "platform/Orologio.h"

namespace orvane::test {

/// A clock that only moves when the test moves it; installed for its lifetime.
class OrologioFinto {
 public:
  explicit OrologioFinto(platform::Istante inizio) : adesso_(inizio) {
    platform::ImpostaOrologio([this] { return Adesso(); });
  }
  ~OrologioFinto() { platform::ImpostaOrologio({}); }
  OrologioFinto(const OrologioFinto&) = delete;
  OrologioFinto& operator=(const OrologioFinto&) = delete;

  [[nodiscard]] platform::Istante Adesso() const {
    const std::scoped_lock lock(mutex_);
    return adesso_;
  }
  void Avanza(std::chrono::system_clock::duration d) {
    const std::scoped_lock lock(mutex_);
    adesso_ += d;
  }

 private:
  mutable std::mutex mutex_;
  platform::Istante adesso_;
};

}  // namespace orvane::test
