#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "quomaro/clsDownload.h"

namespace quomaro::strumento {

/// Shows the progress of a download on a terminal: a bar with the
/// percentage when the size is known, otherwise the bytes received. The line
/// is redrawn in place and only when what it shows changes, so a large
/// download costs a few hundred writes, not one per read.
class BarraProgresso : public DownloadEventi {
 public:
  /// Draws on `uscita`; `totale` is the expected size, when known.
  BarraProgresso(std::FILE* uscita, std::optional<long long> totale);
  ~BarraProgresso() override;
  BarraProgresso(const BarraProgresso&) = delete;
  BarraProgresso& operator=(const BarraProgresso&) = delete;
  BarraProgresso(BarraProgresso&&) = delete;
  BarraProgresso& operator=(BarraProgresso&&) = delete;

  void DownloadProgressione(long ByteLetti) override;

  /// The expected size, once the answer declares it.
  void ImpostaTotale(std::optional<long long> totale) { totale_ = totale; }

  /// Ends the line once the download is over (also done on destruction).
  void Chiudi();

 private:
  std::FILE* uscita_;
  std::optional<long long> totale_;
  std::string ultima_;
  bool aperta_ = false;
};

/// A byte count with a dot every three digits, as Italian texts write it.
[[nodiscard]] std::string ConPunti(long long n);

}  // namespace quomaro::strumento
