#include "ManiglieCurl.h"

#include <algorithm>
#include <string_view>

#include "common/Errore.h"
#include "common/LibreriaDiSistema.h"

namespace quomaro::curl {
namespace {

// The library's run-time name, ORVANE_LIBCURL, is the one of the library the
// build found.
Funzioni Carica() {
  const orvane::LibreriaDiSistema libreria(ORVANE_LIBCURL);
  Funzioni f{};
  // One token gives both the field and the symbol, so they cannot drift apart.
#define ORVANE_RISOLVI(nome) libreria.Risolvi(f.nome, "curl_" #nome)
  ORVANE_RISOLVI(global_init);
  ORVANE_RISOLVI(easy_init);
  ORVANE_RISOLVI(easy_setopt);
  ORVANE_RISOLVI(easy_getinfo);
  ORVANE_RISOLVI(easy_perform);
  ORVANE_RISOLVI(easy_reset);
  ORVANE_RISOLVI(easy_cleanup);
  ORVANE_RISOLVI(easy_strerror);
  ORVANE_RISOLVI(multi_init);
  ORVANE_RISOLVI(multi_add_handle);
  ORVANE_RISOLVI(multi_remove_handle);
  ORVANE_RISOLVI(multi_perform);
  ORVANE_RISOLVI(multi_poll);
  ORVANE_RISOLVI(multi_info_read);
  ORVANE_RISOLVI(multi_strerror);
  ORVANE_RISOLVI(multi_cleanup);
  ORVANE_RISOLVI(slist_append);
  ORVANE_RISOLVI(slist_free_all);
  ORVANE_RISOLVI(url);
  ORVANE_RISOLVI(url_set);
  ORVANE_RISOLVI(url_get);
  ORVANE_RISOLVI(url_cleanup);
  ORVANE_RISOLVI(free);
#undef ORVANE_RISOLVI
  const CURLcode esito = f.global_init(CURL_GLOBAL_DEFAULT);
  if (esito != CURLE_OK) throw orvane::Errore(orvane::kChiamataNonValida, f.easy_strerror(esito));
  return f;
}

// The text with the user name and password of any address in it replaced
// by "***": libcurl quotes a proxy setting it cannot use whole,
// credentials included.
std::string SenzaCredenziali(std::string testo) {
  // Words as libcurl quotes addresses: between blanks or quotes.
  constexpr std::string_view kSeparatori = " \t\r\n'\"<>`";
  std::size_t inizio = 0;
  while (inizio < testo.size()) {
    std::size_t fine = std::min(testo.find_first_of(kSeparatori, inizio), testo.size());
    const std::string_view parola(testo.data() + inizio, fine - inizio);
    // The last "@" ends the credentials; a password may hold another.
    const std::size_t chiocciola = parola.rfind('@');
    const std::size_t schema = parola.find("://");
    const std::size_t da = schema != std::string_view::npos && schema < chiocciola ? schema + 3 : 0;
    if (chiocciola != std::string_view::npos && chiocciola > da) {
      testo.replace(inizio + da, chiocciola - da, "***");
      fine = fine - (chiocciola - da) + 3;
    }
    inizio = fine + 1;
  }
  return testo;
}

}  // namespace

std::string MotivoFallimento(const char* buffer, CURLcode codice) {
  return SenzaCredenziali(buffer[0] != '\0' ? buffer : Libcurl().easy_strerror(codice));
}

const Funzioni& Libcurl() {
  // A throwing initialiser leaves the static unset, so a later call tries again.
  static const Funzioni funzioni = Carica();
  return funzioni;
}

}  // namespace quomaro::curl
