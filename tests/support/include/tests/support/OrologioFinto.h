#pragma once

#include "platform/Orologio.h"

namespace orvane::test {

/// A clock stopped at the moment the test gives, installed for its lifetime.
class OrologioFinto {
 public:
  explicit OrologioFinto(platform::Istante adesso) : adesso_(adesso) {
    platform::ImpostaOrologio([adesso] { return adesso; });
  }
  ~OrologioFinto() { platform::ImpostaOrologio({}); }
  OrologioFinto(const OrologioFinto&) = delete;
  OrologioFinto& operator=(const OrologioFinto&) = delete;

  [[nodiscard]] platform::Istante Adesso() const { return adesso_; }

 private:
  platform::Istante adesso_;
};

}  // namespace orvane::test
