#include "quomaro/RichiestaHttp.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <utility>
#include <vector>

#include "FineRichiesta.h"
#include "ManiglieCurl.h"
#include "common/Errore.h"
#include "platform/TestoUtf8.h"

namespace quomaro {
namespace {

constexpr std::string_view kProtocolli = "http,https";
constexpr long kRedirezioniMassime = 5;
// How long a synchronous send waits on the sockets between two looks at
// whether the program is ending.
constexpr std::chrono::milliseconds kAttesaSincrona{200};

// Only absolute http and https URLs: nothing else may be reached through the
// service's address.
void ControllaUrl(const std::string& url) {
  const auto rifiuta = [&url] {
    throw orvane::Errore(orvane::kChiamataNonValida, "Indirizzo non valido: \"" + url + "\"");
  };
  const curl::Funzioni& libcurl = curl::Libcurl();
  curl::Url u{libcurl.url()};
  if (!u) throw orvane::Errore(orvane::kMemoriaEsaurita, "Memoria esaurita");
  if (libcurl.url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) rifiuta();
  char* schema = nullptr;
  if (libcurl.url_get(u.get(), CURLUPART_SCHEME, &schema, 0) != CURLUE_OK) rifiuta();
  const std::string s = schema;
  libcurl.free(schema);
  if (s != "http" && s != "https") rifiuta();
}

bool ContieneFineRiga(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

struct RichiestaHttp::Stato {
  // Declared in this order so that the easy handle leaves the multi handle
  // (Iscrizione) before either is cleaned up.
  curl::Multi multi;
  curl::Easy easy;
  curl::Lista intestazioni;
  struct Iscrizione {
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    Iscrizione() = default;
    Iscrizione(const Iscrizione&) = delete;
    Iscrizione& operator=(const Iscrizione&) = delete;
    Iscrizione(Iscrizione&&) = delete;
    Iscrizione& operator=(Iscrizione&&) = delete;
    ~Iscrizione() {
      if (multi != nullptr) curl::Libcurl().multi_remove_handle(multi, easy);
    }
  } iscrizione;

  std::string metodo;
  std::string url;
  bool asincrono = true;
  int readyState = 0;
  long status = 0;
  std::string statusText;
  std::vector<std::string> righeRisposta;
  std::size_t byteIntestazioni = 0;
  std::string risposta;
  std::string errore;
  bool troppoGrande = false;
  std::exception_ptr eccezione;
  std::array<char, CURL_ERROR_SIZE> bufferErrore{};

  static std::size_t RicevutoCorpo(char* dati, std::size_t /*uno*/, std::size_t n, void* utente) {
    auto* s = static_cast<Stato*>(utente);
    try {
      s->readyState = 3;
      if (n > kDimensioneMassimaRisposta - s->risposta.size() ||
          (s->risposta.empty() && !s->RiservaSecondoLunghezza())) {
        s->troppoGrande = true;
        return 0;
      }
      s->risposta.append(dati, n);
      return n;
    } catch (...) {
      // Nothing may cross libcurl's C frames: stop the transfer and rethrow
      // once libcurl has returned.
      s->eccezione = std::current_exception();
      return 0;
    }
  }

  static std::size_t RicevutaIntestazione(char* dati, std::size_t /*uno*/, std::size_t n,
                                          void* utente) {
    auto* s = static_cast<Stato*>(utente);
    try {
      s->readyState = 3;
      s->byteIntestazioni += n;
      if (s->byteIntestazioni > curl::kIntestazioniMassime) {
        s->troppoGrande = true;
        return 0;
      }
      const std::string_view riga = platform::SenzaBianchiAiLati(std::string_view(dati, n));
      if (riga.starts_with("HTTP/")) {
        // A new answer (after an interim one): its headers replace the others.
        s->righeRisposta.clear();
        // "HTTP/1.1 200 OK": the code, then the reason phrase.
        const auto primo = riga.find(' ');
        const auto secondo =
            primo == std::string_view::npos ? std::string_view::npos : riga.find(' ', primo + 1);
        s->status = 0;
        for (auto i = primo == std::string_view::npos ? riga.size() : primo + 1;
             i < riga.size() && s->status < 1000 &&
             std::isdigit(static_cast<unsigned char>(riga[i])) != 0;
             ++i) {
          s->status = s->status * 10 + (riga[i] - '0');
        }
        s->statusText = secondo == std::string_view::npos ? std::string()
                                                          : std::string(riga.substr(secondo + 1));
      } else if (!riga.empty()) {
        s->righeRisposta.emplace_back(riga);
      }
      return n;
    } catch (...) {
      s->eccezione = std::current_exception();
      return 0;
    }
  }

  // One allocation for the whole answer when its length is declared; false
  // when the declared length is already beyond the limit.
  bool RiservaSecondoLunghezza() {
    curl_off_t lunghezza = -1;
    if (curl::Libcurl().easy_getinfo(easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &lunghezza) !=
            CURLE_OK ||
        lunghezza <= 0) {
      return true;
    }
    if (static_cast<std::size_t>(lunghezza) > kDimensioneMassimaRisposta) return false;
    risposta.reserve(static_cast<std::size_t>(lunghezza));
    return true;
  }

  void Completa(CURLcode esito) {
    readyState = 4;
    curl::Libcurl().easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (esito == CURLE_OK) return;
    if (troppoGrande) {
      errore = "Risposta del server troppo grande";
    } else {
      errore = "Errore di comunicazione con il server: " +
               curl::MotivoFallimento(bufferErrore.data(), esito);
    }
  }

  void Avanza() {
    int attivi = 0;
    const CURLMcode esito = curl::Libcurl().multi_perform(multi.get(), &attivi);
    if (eccezione) std::rethrow_exception(std::exchange(eccezione, nullptr));
    if (esito != CURLM_OK) {
      readyState = 4;
      errore = std::string("Errore di comunicazione con il server: ") +
               curl::Libcurl().multi_strerror(esito);
      return;
    }
    int restanti = 0;
    while (const CURLMsg* messaggio = curl::Libcurl().multi_info_read(multi.get(), &restanti)) {
      if (messaggio->msg == CURLMSG_DONE && messaggio->easy_handle == easy.get()) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-union-access): libcurl's own message type.
        Completa(messaggio->data.result);
      }
    }
  }
};

RichiestaHttp::RichiestaHttp() : stato_(std::make_unique<Stato>()) {}

RichiestaHttp::~RichiestaHttp() = default;

void RichiestaHttp::open(const std::string& metodo, const std::string& url, bool asincrono) {
  if (metodo != "GET" && metodo != "POST") {
    throw orvane::Errore(orvane::kChiamataNonValida, "Metodo non supportato: \"" + metodo + "\"");
  }
  ControllaUrl(url);
  auto nuovo = std::make_unique<Stato>();
  nuovo->multi = curl::NuovaMulti();
  nuovo->easy = curl::NuovaEasy();
  nuovo->metodo = metodo;
  nuovo->url = url;
  nuovo->asincrono = asincrono;
  nuovo->readyState = 1;
  stato_ = std::move(nuovo);
}

void RichiestaHttp::setRequestHeader(const std::string& nome, const std::string& valore) {
  if (stato_->readyState != 1) {
    throw orvane::Errore(orvane::kChiamataNonValida, "Richiesta non aperta o già inviata");
  }
  // A header must stay one header: no line breaks, no colon in the name.
  if (nome.empty() || nome.find(':') != std::string::npos || ContieneFineRiga(nome) ||
      ContieneFineRiga(valore)) {
    throw orvane::Errore(orvane::kChiamataNonValida, "Intestazione non valida: \"" + nome + "\"");
  }
  // libcurl sends "Nome;" as a header with an empty value ("Nome:" would drop it).
  curl::Accoda(stato_->intestazioni, valore.empty() ? nome + ";" : nome + ": " + valore);
}

void RichiestaHttp::send(const std::string& corpo) {
  Stato& s = *stato_;
  if (s.readyState != 1) {
    throw orvane::Errore(orvane::kChiamataNonValida, "Richiesta non aperta o già inviata");
  }
  CURL* h = s.easy.get();
  // No "Expect: 100-continue" round trip before the body.
  curl::Accoda(s.intestazioni, "Expect:");
  curl::Imposta(h, CURLOPT_URL, s.url.c_str());
  curl::Imposta(h, CURLOPT_PROTOCOLS_STR, kProtocolli.data());
  // A server that moved (http to https, a balancer) is followed, on http and
  // https only, with the same method, body and headers; a loop or a redirect
  // to another scheme fails the exchange.
  curl::Imposta(h, CURLOPT_REDIR_PROTOCOLS_STR, kProtocolli.data());
  curl::Imposta(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl::Imposta(h, CURLOPT_MAXREDIRS, kRedirezioniMassime);
  curl::Imposta(h, CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_ALL));
  curl::Imposta(h, CURLOPT_NOSIGNAL, 1L);
  curl::NonAttendereRisoluzione(h);
  curl::SocketChiusiInExec(h);
  curl::Imposta(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl::Imposta(h, CURLOPT_ERRORBUFFER, s.bufferErrore.data());
  curl::Imposta(h, CURLOPT_HTTPHEADER, s.intestazioni.get());
  curl::Imposta(h, CURLOPT_WRITEFUNCTION, &Stato::RicevutoCorpo);
  curl::Imposta(h, CURLOPT_WRITEDATA, &s);
  curl::Imposta(h, CURLOPT_HEADERFUNCTION, &Stato::RicevutaIntestazione);
  curl::Imposta(h, CURLOPT_HEADERDATA, &s);
  if (s.metodo == "POST") {
    curl::Imposta(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(corpo.size()));
    curl::Imposta(h, CURLOPT_COPYPOSTFIELDS, corpo.c_str());
  } else {
    curl::Imposta(h, CURLOPT_HTTPGET, 1L);
  }
  if (curl::Libcurl().multi_add_handle(s.multi.get(), h) != CURLM_OK) {
    throw orvane::Errore(orvane::kChiamataNonValida, "Impossibile avviare la richiesta");
  }
  s.iscrizione.multi = s.multi.get();
  s.iscrizione.easy = h;
  s.readyState = 2;
  s.Avanza();
  if (!s.asincrono) {
    while (s.readyState != 4) {
      // Nobody else can give the request up while send() holds the thread.
      if (FineRichiesta()) {
        s.readyState = 4;
        s.errore = "Richiesta abbandonata: il programma sta terminando";
        return;
      }
      Attendi(kAttesaSincrona);
    }
  }
}

void RichiestaHttp::Attendi(std::chrono::milliseconds massimo) {
  Stato& s = *stato_;
  if (s.readyState < 2 || s.readyState == 4) return;
  const int ms =
      static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(massimo.count(), 0, 60'000));
  const CURLMcode esito = curl::Libcurl().multi_poll(s.multi.get(), nullptr, 0, ms, nullptr);
  if (esito != CURLM_OK) {
    s.readyState = 4;
    s.errore = std::string("Errore di comunicazione con il server: ") +
               curl::Libcurl().multi_strerror(esito);
    return;
  }
  s.Avanza();
}

int RichiestaHttp::readyState() const {
  return stato_->readyState;
}

long RichiestaHttp::status() const {
  return stato_->status;
}

std::string RichiestaHttp::statusText() const {
  return stato_->statusText;
}

const std::string& RichiestaHttp::responseText() const {
  return stato_->risposta;
}

std::string RichiestaHttp::getResponseHeader(std::string_view nome) const {
  std::string valore;
  bool trovato = false;
  for (const std::string& riga : stato_->righeRisposta) {
    const auto duePunti = riga.find(':');
    if (duePunti == std::string::npos) continue;
    if (!platform::UgualiSenzaMaiuscoleAscii(
            platform::SenzaBianchiAiLati(std::string_view(riga).substr(0, duePunti)), nome)) {
      continue;
    }
    if (trovato) valore += ", ";
    valore += platform::SenzaBianchiAiLati(std::string_view(riga).substr(duePunti + 1));
    trovato = true;
  }
  return valore;
}

std::string RichiestaHttp::RilasciaRisposta() {
  return std::exchange(stato_->risposta, std::string());
}

const std::string& RichiestaHttp::DescrizioneErrore() const {
  return stato_->errore;
}

}  // namespace quomaro
