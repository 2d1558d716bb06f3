#include "BarraProgresso.h"

#include <algorithm>

namespace quomaro::strumento {
namespace {

constexpr long long kCelle = 30;
// Without a known size the count is shown in steps of this many bytes.
constexpr long long kPassoSenzaTotale = 64LL * 1024;

}  // namespace

std::string ConPunti(long long n) {
  std::string cifre = std::to_string(n < 0 ? -n : n);
  for (auto i = static_cast<long long>(cifre.size()) - 3; i > 0; i -= 3)
    cifre.insert(static_cast<std::size_t>(i), 1, '.');
  return n < 0 ? "-" + cifre : cifre;
}

BarraProgresso::BarraProgresso(std::FILE* uscita, std::optional<long long> totale)
    : uscita_(uscita), totale_(totale) {}

BarraProgresso::~BarraProgresso() {
  Chiudi();
}

void BarraProgresso::DownloadProgressione(long ByteLetti) {
  const long long letti = ByteLetti;
  std::string riga;
  if (totale_ && *totale_ > 0) {
    const long long parte = std::min(letti, *totale_);
    const long long piene = parte * kCelle / *totale_;
    riga = "[" + std::string(static_cast<std::size_t>(piene), '#') +
           std::string(static_cast<std::size_t>(kCelle - piene), '.') + "] " +
           std::to_string(parte * 100 / *totale_) + "%";
  } else {
    riga = ConPunti(letti / kPassoSenzaTotale * kPassoSenzaTotale) + " byte ricevuti";
  }
  if (riga == ultima_) return;
  ultima_ = riga;
  static_cast<void>(std::fprintf(uscita_, "\r%s", riga.c_str()));
  static_cast<void>(std::fflush(uscita_));
  aperta_ = true;
}

void BarraProgresso::Chiudi() {
  if (!aperta_) return;
  static_cast<void>(std::fputc('\n', uscita_));
  static_cast<void>(std::fflush(uscita_));
  aperta_ = false;
}

}  // namespace quomaro::strumento
