#include "updater/basRegSvr.h"

#include <condition_variable>
#include <filesystem>
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
  bool completata = false;  // the entry point ran and returned normally
};

}  // namespace

bool RegServer(const std::string& sServerPath, bool bRegister,
               std::chrono::milliseconds limite) noexcept {
  bool riuscita = false;
  // Nothing of a registration is logged or shown: failures only give false.
  orvane::Tacitamente([&] {
    // An absolute path: a bare name would send the loader searching elsewhere.
    const std::filesystem::path file =
        std::filesystem::absolute(platform::FileComponente(sServerPath));
    const char* nome = bRegister ? "DllRegisterServer" : "DllUnregisterServer";

    auto stato = std::make_shared<Registrazione>();
    // Loading runs the component's own initialisation, so it happens on the
    // worker thread too, within the limit. The thread owns the library and
    // lets it go only after the entry point has returned: an entry point
    // that overstays keeps its library loaded for as long as it runs.
    std::thread lavoro([stato, file, nome] {
      bool completata = false;
      orvane::Tacitamente([&] {
        const platform::Libreria libreria = platform::Libreria::Carica(file);
        auto* ingresso = reinterpret_cast<PuntoDiIngresso>(libreria.Simbolo(nome));
        if (ingresso == nullptr) return;
        (void)ingresso();
        completata = true;
      });
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
      lavoro.detach();
    }
  });
  return riuscita;
}

}  // namespace tervan
