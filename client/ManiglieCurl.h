#pragma once

// libcurl, loaded at the first request, and owning handles for its objects.
//
// Quomaro does not link libcurl: the library and the thirty-odd libraries it
// pulls in (TLS, Kerberos, LDAP, ...) would be loaded and relocated at every
// start of every program that links Quomaro, before its window can appear,
// though most starts make no request for a while. `Libcurl()` loads it the
// first time a request needs it; every call into libcurl goes through it.

#include <curl/curl.h>
#include <sys/socket.h>

#include <memory>
#include <string>

#include "common/Errore.h"

namespace quomaro::curl {

/// The libcurl functions the library calls, each with the type its header
/// declares, named without the `curl_` prefix.
struct Funzioni {
  decltype(&::curl_global_init) global_init;
  decltype(&::curl_easy_init) easy_init;
  decltype(&::curl_easy_setopt) easy_setopt;
  decltype(&::curl_easy_getinfo) easy_getinfo;
  decltype(&::curl_easy_perform) easy_perform;
  decltype(&::curl_easy_reset) easy_reset;
  decltype(&::curl_easy_cleanup) easy_cleanup;
  decltype(&::curl_easy_strerror) easy_strerror;
  decltype(&::curl_multi_init) multi_init;
  decltype(&::curl_multi_add_handle) multi_add_handle;
  decltype(&::curl_multi_remove_handle) multi_remove_handle;
  decltype(&::curl_multi_perform) multi_perform;
  decltype(&::curl_multi_poll) multi_poll;
  decltype(&::curl_multi_info_read) multi_info_read;
  decltype(&::curl_multi_strerror) multi_strerror;
  decltype(&::curl_multi_cleanup) multi_cleanup;
  decltype(&::curl_slist_append) slist_append;
  decltype(&::curl_slist_free_all) slist_free_all;
  decltype(&::curl_url) url;
  decltype(&::curl_url_set) url_set;
  decltype(&::curl_url_get) url_get;
  decltype(&::curl_url_cleanup) url_cleanup;
  decltype(&::curl_free) free;
};

/// The most header bytes an exchange takes, interim answers, redirects and
/// trailers (headers after a chunked body) together: libcurl bounds each
/// header block, but a trailer that never ends would grow without bound.
inline constexpr std::size_t kIntestazioniMassime = std::size_t{1} << 20;

/// libcurl, loaded and set up (curl_global_init) once for the whole process
/// at the first call. Throws orvane::Errore when the library cannot be
/// loaded, lacks a function or fails its set-up; the next call tries again.
const Funzioni& Libcurl();

/// Why a transfer failed: libcurl's error buffer (CURLOPT_ERRORBUFFER),
/// else the text of `codice`, with the user name and password of any address
/// in it replaced by "***". libcurl quotes a proxy setting it cannot use
/// whole, credentials included, and the description goes to the error log,
/// the session's journal and the user.
std::string MotivoFallimento(const char* buffer, CURLcode codice);

// The handles below exist only once Libcurl() has succeeded, so their
// deleters may call through it.
struct ChiudiEasy {
  void operator()(CURL* h) const noexcept { Libcurl().easy_cleanup(h); }
};
struct ChiudiMulti {
  void operator()(CURLM* h) const noexcept { Libcurl().multi_cleanup(h); }
};
struct ChiudiLista {
  void operator()(curl_slist* l) const noexcept { Libcurl().slist_free_all(l); }
};
struct ChiudiUrl {
  void operator()(CURLU* u) const noexcept { Libcurl().url_cleanup(u); }
};

using Easy = std::unique_ptr<CURL, ChiudiEasy>;
using Multi = std::unique_ptr<CURLM, ChiudiMulti>;
using Lista = std::unique_ptr<curl_slist, ChiudiLista>;
using Url = std::unique_ptr<CURLU, ChiudiUrl>;

[[nodiscard]] inline Easy NuovaEasy() {
  Easy h{Libcurl().easy_init()};
  if (!h) throw orvane::Errore(orvane::kMemoriaEsaurita, "Memoria esaurita");
  return h;
}

[[nodiscard]] inline Multi NuovaMulti() {
  Multi h{Libcurl().multi_init()};
  if (!h) throw orvane::Errore(orvane::kMemoriaEsaurita, "Memoria esaurita");
  return h;
}

/// Appends one line to a header list, keeping the list owned on failure.
inline void Accoda(Lista& lista, const std::string& riga) {
  curl_slist* nuova = Libcurl().slist_append(lista.get(), riga.c_str());
  if (nuova == nullptr) throw orvane::Errore(orvane::kMemoriaEsaurita, "Memoria esaurita");
  static_cast<void>(lista.release());
  lista.reset(nuova);
}

/// Sets an option; a refused option is a failure of the calling routine.
template <class Valore>
void Imposta(CURL* h, CURLoption opzione, Valore valore) {
  const Funzioni& f = Libcurl();
  const CURLcode esito = f.easy_setopt(h, opzione, valore);
  if (esito != CURLE_OK) {
    throw orvane::Errore(orvane::kChiamataNonValida, f.easy_strerror(esito));
  }
}

/// Lets a transfer that ends (given up, timed out, failed) while its name
/// lookup is still under way return at once: the lookup's thread is left to
/// finish on its own and free what it holds. Otherwise libcurl waits for it,
/// and a name server that never answers holds the caller, the program's
/// end included, for as long as the system's resolver keeps trying.
/// libcurl before 7.87 lacks the option and waits as before.
inline void NonAttendereRisoluzione(CURL* h) {
#if LIBCURL_VERSION_NUM >= 0x075700
  static_cast<void>(Libcurl().easy_setopt(h, CURLOPT_QUICK_EXIT, 1L));
#else
  static_cast<void>(h);
#endif
}

/// Opens every connection's socket closed on exec: a program the host starts
/// (a browser, which may run for days) does not keep the host's connections
/// to the service open.
inline void SocketChiusiInExec(CURL* h) {
  const curl_opensocket_callback apri = [](void* /*dati*/, curlsocktype /*scopo*/,
                                           curl_sockaddr* indirizzo) -> curl_socket_t {
    const int fd =
        ::socket(indirizzo->family, indirizzo->socktype | SOCK_CLOEXEC, indirizzo->protocol);
    return fd < 0 ? CURL_SOCKET_BAD : fd;
  };
  Imposta(h, CURLOPT_OPENSOCKETFUNCTION, apri);
}

}  // namespace quomaro::curl
