#include "quomaro/clsDownload.h"

#include <stdexcept>
#include <utility>

#include "common/Routine.h"
#include "quomaro/Scaricamento.h"

namespace quomaro {
namespace {

constexpr std::string_view kModulo = "clsDownload";

}  // namespace

DownloadEventi::~DownloadEventi() = default;

std::string clsDownload::OpenURL(const std::string& sUrl) {
  return orvane::Routine(kModulo, "OpenURL", [&](int& linea) -> std::string {
    linea = 10;
    EsitoScaricamento esito = Scaricamento(eventi_).Scarica(sUrl);
    linea = 20;
    if (esito.fine == FineScaricamento::TroppoGrande) throw std::overflow_error("Overflow");
    // Whatever the status, a whole body is the content; a host that cannot
    // be reached or a transfer that breaks off returns nothing.
    return std::move(esito.corpo);
  });
}

}  // namespace quomaro
