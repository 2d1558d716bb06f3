#include "platform/SegnaliFine.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace platform {
namespace {

volatile std::sig_atomic_t ricevuto = 0;
volatile int scritturaSegnale = -1;

extern "C" void GestoreFine(int /*segnale*/) {
  const int errnoPrima = errno;
  if (ricevuto == 0) (void)::alarm(SegnaliFine::kSecondiPerFinire);
  ricevuto = 1;
  const char byte = 1;
  if (scritturaSegnale >= 0) (void)!::write(scritturaSegnale, &byte, 1);
  errno = errnoPrima;
}

}  // namespace

SegnaliFine::SegnaliFine() {
  int tubo[2];
  if (::pipe2(tubo, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe2");
  lettura_ = platform::Descrittore(tubo[0]);
  scrittura_ = platform::Descrittore(tubo[1]);
  if (scritturaSegnale >= 0) throw std::logic_error("SegnaliFine: one at a time");
  ricevuto = 0;
  scritturaSegnale = scrittura_.Fd();
  struct sigaction azione {};
  azione.sa_handler = GestoreFine;
  sigemptyset(&azione.sa_mask);
  azione.sa_flags = SA_RESTART;
  // The end's last resort must not be ignored, as a parent may have left it.
  struct sigaction predefinita {};
  predefinita.sa_handler = SIG_DFL;
  sigemptyset(&predefinita.sa_mask);
  ::sigaction(SIGALRM, &predefinita, &alrmPrima_);
  ::sigaction(SIGTERM, &azione, &termPrima_);
  ::sigaction(SIGHUP, &azione, &hupPrima_);
  // A program started in the background of a shell has SIGINT ignored,
  // so that Ctrl+C meant for the foreground leaves it alone: it stays so.
  ::sigaction(SIGINT, nullptr, &intPrima_);
  if (intPrima_.sa_handler != SIG_IGN) ::sigaction(SIGINT, &azione, nullptr);
}

SegnaliFine::~SegnaliFine() {
  ::sigaction(SIGTERM, &termPrima_, nullptr);
  ::sigaction(SIGHUP, &hupPrima_, nullptr);
  ::sigaction(SIGINT, &intPrima_, nullptr);
  // Once armed, the last resort stays for the rest of the way out.
  if (ricevuto == 0) ::sigaction(SIGALRM, &alrmPrima_, nullptr);
  scritturaSegnale = -1;
}

void SegnaliFine::Svuota() const noexcept {
  char buffer[64];
  while (::read(lettura_.Fd(), buffer, sizeof buffer) > 0) {
  }
}

bool SegnaliFine::Ricevuto() noexcept {
  return ricevuto != 0;
}

}  // namespace platform
