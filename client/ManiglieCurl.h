#pragma once

// Owning handles for the libcurl objects the library uses.

#include <curl/curl.h>

#include <memory>
#include <string>

#include "common/Errore.h"

namespace quomaro::curl {

struct ChiudiEasy {
  void operator()(CURL* h) const noexcept { curl_easy_cleanup(h); }
};
struct ChiudiMulti {
  void operator()(CURLM* h) const noexcept { curl_multi_cleanup(h); }
};
struct ChiudiLista {
  void operator()(curl_slist* l) const noexcept { curl_slist_free_all(l); }
};
struct ChiudiUrl {
  void operator()(CURLU* u) const noexcept { curl_url_cleanup(u); }
};

using Easy = std::unique_ptr<CURL, ChiudiEasy>;
using Multi = std::unique_ptr<CURLM, ChiudiMulti>;
using Lista = std::unique_ptr<curl_slist, ChiudiLista>;
using Url = std::unique_ptr<CURLU, ChiudiUrl>;

/// libcurl's global set-up, done once for the whole library.
inline void InizializzaUnaVolta() {
  static const CURLcode esito = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (esito != CURLE_OK) {
    throw orvane::Errore(orvane::kChiamataNonValida, curl_easy_strerror(esito));
  }
}

[[nodiscard]] inline Easy NuovaEasy() {
  InizializzaUnaVolta();
  Easy h{curl_easy_init()};
  if (!h) throw orvane::Errore(orvane::kMemoriaEsaurita, "Memoria esaurita");
  return h;
}

[[nodiscard]] inline Multi NuovaMulti() {
  InizializzaUnaVolta();
  Multi h{curl_multi_init()};
  if (!h) throw orvane::Errore(orvane::kMemoriaEsaurita, "Memoria esaurita");
  return h;
}

/// Appends one line to a header list, keeping the list owned on failure.
inline void Accoda(Lista& lista, const std::string& riga) {
  curl_slist* nuova = curl_slist_append(lista.get(), riga.c_str());
  if (nuova == nullptr) throw orvane::Errore(orvane::kMemoriaEsaurita, "Memoria esaurita");
  static_cast<void>(lista.release());
  lista.reset(nuova);
}

/// Sets an option; a refused option is a failure of the calling routine.
template <class Valore>
void Imposta(CURL* h, CURLoption opzione, Valore valore) {
  const CURLcode esito = curl_easy_setopt(h, opzione, valore);
  if (esito != CURLE_OK) {
    throw orvane::Errore(orvane::kChiamataNonValida, curl_easy_strerror(esito));
  }
}

}  // namespace quomaro::curl
