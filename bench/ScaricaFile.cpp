// Downloads one URL with clsDownload and reports the wall time, the body
// size and the peak resident memory of the process.
//
//   bench_scarica URL

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "quomaro/Host.h"
#include "quomaro/clsDownload.h"

namespace {

// A holder that, like Tervan's progress bar, looks at every event.
class Progresso : public quomaro::DownloadEventi {
 public:
  void DownloadProgressione(long ByteLetti) override {
    ultimo = ByteLetti;
    ++eventi;
  }
  long ultimo = 0;
  long eventi = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "uso: %s URL\n", argv[0]);
    return 2;
  }
  quomaro::SostituisciRigaDiComando("DEBUG");
  Progresso progresso;
  quomaro::clsDownload download;
  download.ImpostaEventi(&progresso);

  const auto inizio = std::chrono::steady_clock::now();
  const std::string contenuto = download.OpenURL(argv[1]);
  const std::chrono::duration<double> durata = std::chrono::steady_clock::now() - inizio;

  rusage uso{};
  getrusage(RUSAGE_SELF, &uso);
  // Machine-readable: seconds, bytes, peak resident kilobytes, events.
  std::printf("%.6f %zu %ld %ld\n", durata.count(), contenuto.size(), uso.ru_maxrss,
              progresso.eventi);
  return contenuto.empty() ? 1 : 0;
}
