#include "tests/support/ServerX.h"

#include <signal.h>

#include <chrono>
#include <stdexcept>
#include <vector>

namespace orvane::test {

ServerX::ServerX(const std::string& schermo) {
  try {
    xvfb_ = std::make_unique<Processo>(
        "Xvfb",
        std::vector<std::string>{"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", schermo},
        std::map<std::string, std::string>{}, uscite_.Percorso());
  } catch (const std::runtime_error&) {
    return;
  }
  const std::string numero = AttendiRiga(*xvfb_, uscite_ / "stdout", "", std::chrono::seconds(20));
  if (!numero.empty()) display_ = ":" + numero;
}

ServerX::~ServerX() {
  if (xvfb_) xvfb_->Termina(SIGTERM);
}

}  // namespace orvane::test
