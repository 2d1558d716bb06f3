#include "updater/basRegSvr.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "common/Routine.h"
#include "platform/Libreria.h"

namespace tervan {
namespace {

using PuntoDiIngresso = long (*)();

// What the caller and the worker thread share; it lives until both are done.
struct Registrazione {
  std::mutex mutex;
  std::condition_variable finita;
  bool terminata = false;
  bool completata = false;  // the entry point returned normally
};

}  // namespace

bool RegServer(const std::string& sServerPath, bool bRegister,
               std::chrono::milliseconds limite) noexcept {
  bool riuscita = false;
  // Nothing of a registration is logged or shown: failures only give false.
  orvane::Tacitamente([&] {
    platform::Libreria libreria = platform::Libreria::Carica(platform::FileComponente(sServerPath));
    const char* nome = bRegister ? "DllRegisterServer" : "DllUnregisterServer";
    auto* ingresso = reinterpret_cast<PuntoDiIngresso>(libreria.Simbolo(nome));
    if (ingresso == nullptr) return;

    auto stato = std::make_shared<Registrazione>();
    std::thread lavoro([stato, ingresso, libreria] {
      // The thread's copy of the library keeps it loaded while the entry runs.
      const bool completata = orvane::Tacitamente([ingresso] { (void)ingresso(); });
      const std::scoped_lock lock(stato->mutex);
      stato->terminata = true;
      stato->completata = completata;
      stato->finita.notify_all();
    });

    std::unique_lock lock(stato->mutex);
    if (stato->finita.wait_for(lock, limite, [&] { return stato->terminata; })) {
      riuscita = stato->completata;
      lock.unlock();
      lavoro.join();
    } else {
      lock.unlock();
      libreria.NonScaricareMai();
      lavoro.detach();
    }
  });
  return riuscita;
}

}  // namespace tervan
