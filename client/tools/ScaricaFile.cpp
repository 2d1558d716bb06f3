#include "ScaricaFile.h"

#include <curl/curl.h>

#include "ManiglieCurl.h"
#include "common/Errore.h"

namespace quomaro::strumento {
namespace {

constexpr long kSecondiSonda = 30;

}  // namespace

Sonda SondaUrl(const std::string& url) {
  Sonda sonda;
  curl::Easy h;
  try {
    h = curl::NuovaEasy();
  } catch (const orvane::Errore&) {
    sonda.errore = "libcurl non disponibile";
    return sonda;
  }
  curl_easy_setopt(h.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(h.get(), CURLOPT_NOBODY, 1L);
  curl_easy_setopt(h.get(), CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h.get(), CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h.get(), CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(h.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h.get(), CURLOPT_TIMEOUT, kSecondiSonda);
  const CURLcode esito = curl_easy_perform(h.get());
  if (esito != CURLE_OK) {
    sonda.errore = curl_easy_strerror(esito);
    return sonda;
  }
  curl_easy_getinfo(h.get(), CURLINFO_RESPONSE_CODE, &sonda.stato);
  curl_off_t lunghezza = -1;
  if (curl_easy_getinfo(h.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &lunghezza) == CURLE_OK &&
      lunghezza >= 0) {
    sonda.dimensione = static_cast<long long>(lunghezza);
  }
  return sonda;
}

}  // namespace quomaro::strumento
