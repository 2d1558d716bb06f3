#include "platform/Messaggi.h"

#include <array>
#include <cstdio>
#include <mutex>

#include "platform/TestoUtf8.h"

namespace platform {
namespace {

// The longest text a box shows: an error record with its longest description.
constexpr std::size_t kTestoMassimo = 4000;

std::mutex g_mutex;
PortaMessaggi g_porta;

int MostraSuStandardError(const Messaggio& m) {
  std::fprintf(stderr, "[%s] %s\n", m.titolo.c_str(), m.testo.c_str());
  return RispostaPredefinita(m.stile);
}

}  // namespace

int RispostaPredefinita(int stile) {
  // Buttons of each button set, in display order.
  static constexpr std::array<std::array<int, 3>, 6> kPulsanti{{
      {vbOK, vbOK, vbOK},
      {vbOK, vbCancel, vbCancel},
      {vbAbort, vbRetry, vbIgnore},
      {vbYes, vbNo, vbCancel},
      {vbYes, vbNo, vbNo},
      {vbRetry, vbCancel, vbCancel},
  }};
  const auto insieme = static_cast<std::size_t>(stile & 0x7);
  const auto predefinito = static_cast<std::size_t>((stile >> 8) & 0x3);
  if (insieme >= kPulsanti.size() || predefinito > 2) return vbOK;
  return kPulsanti.at(insieme).at(predefinito);
}

void ImpostaPortaMessaggi(PortaMessaggi porta) {
  const std::scoped_lock lock(g_mutex);
  g_porta = std::move(porta);
}

PortaMessaggi PortaMessaggiCorrente() {
  const std::scoped_lock lock(g_mutex);
  if (g_porta) return g_porta;
  return MostraSuStandardError;
}

int MsgBox(const std::string& testo, int stile, const std::string& titolo) {
  // Called outside the lock: a dialog may run a nested event loop. A text
  // that came from the network could be megabytes, which a box would take
  // minutes to lay out and no screen could show.
  return PortaMessaggiCorrente()(
      Messaggio{TestoAccorciato(testo, kTestoMassimo), stile, TestoAccorciato(titolo, 200)});
}

}  // namespace platform
