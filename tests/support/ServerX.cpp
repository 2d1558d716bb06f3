#include "tests/support/ServerX.h"

#include <signal.h>

#include <chrono>
#include <stdexcept>
#include <thread>
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
  for (int i = 0; i < 2000 && display_.empty() && xvfb_->InEsecuzione(); ++i) {
    const std::string numero = LeggiFile(uscite_ / "stdout");
    if (numero.ends_with('\n')) display_ = ":" + numero.substr(0, numero.size() - 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ServerX::~ServerX() {
  if (xvfb_) xvfb_->Termina(SIGTERM);
}

}  // namespace orvane::test
