#include "quomaro/clsSOAP.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include <pugixml.hpp>

#include "FineRichiesta.h"
#include "RispostaSOAP.h"
#include "common/Errore.h"
#include "common/Routine.h"
#include "common/basUtilxx.h"
#include "platform/Collocazione.h"
#include "platform/FileAtomico.h"
#include "platform/Orologio.h"
#include "platform/PompaMessaggi.h"
#include "platform/TestoUtf8.h"

namespace quomaro {
namespace {

constexpr std::string_view kModulo = "clsSOAP";
constexpr std::string_view kTimeout = "Connessione al server non disponibile";
constexpr std::string_view kAbbandonata = "Richiesta abbandonata: il programma sta terminando";
// Longest wait on the sockets between two turns of the host's message pump:
// short while an answer may still come at once, so the window stays fluid
// through an ordinary exchange; then as long as a download waits between
// two turns, so a server that takes the request and never answers (or a
// connection attempt that gets no reply) does not wake a laptop on battery
// fifty times a second for the whole limit. An answer that arrives ends
// the wait on the sockets at once either way.
constexpr std::chrono::milliseconds kAttesaTraMessaggi{20};
constexpr std::chrono::milliseconds kAttesaTraMessaggiLunga{200};
constexpr std::chrono::seconds kAttesaBreve{1};

// --- XML names and text ---------------------------------------------------

bool InizioNome(char32_t c) {
  return c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
         (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0xEFFFF);
}

bool CarattereNome(char32_t c) {
  return InizioNome(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// An element name that an XML parser accepts, or the failure MSXML gave.
void ControllaNome(const std::string& nome) {
  bool valido = !nome.empty();
  for (std::size_t i = 0; valido && i < nome.size();) {
    char32_t c = 0;
    const std::size_t lunghezza = platform::DecodificaUtf8(nome, i, c);
    valido = lunghezza > 0 && (i == 0 ? InizioNome(c) : CarattereNome(c));
    i += lunghezza;
  }
  if (!valido) {
    throw orvane::Errore(orvane::kChiamataNonValida,
                         "Nome di elemento XML non valido: \"" + nome + "\"");
  }
}

// Text that an XML document can carry: UTF-8, no control characters.
void ControllaTesto(const std::string& nome, const std::string& testo) {
  for (std::size_t i = 0; i < testo.size();) {
    char32_t c = 0;
    const std::size_t lunghezza = platform::DecodificaUtf8(testo, i, c);
    if (lunghezza == 0 || !platform::CarattereXml(c)) {
      throw orvane::Errore(orvane::kChiamataNonValida,
                           "Carattere non valido nel valore di \"" + nome + "\"");
    }
    i += lunghezza;
  }
}

// --- The request copy -----------------------------------------------------

// Failures of the copy already reported by this process.
std::mutex g_mutexCopie;
std::set<std::string> g_copieSegnalate;

// Replaced whole: Tervan and the support tool may write it at once, and a
// crash never leaves half a copy. It is written at every exchange, so it is
// what a kill or a power cut most often catches: what such writers left is
// removed first. The entry itself is replaced, never written through: a
// link in its place leaves what it leads to (another file of the user's)
// as it was. A copy that cannot be written fails each of a check's dozens
// of exchanges alike, so each failure is reported once, naming the file.
void ScriviCopia(const std::filesystem::path& file, const std::string& testo) {
  try {
    const platform::Descrittore cartella = platform::ApriCartella(file.parent_path());
    const std::string nome = file.filename().string();
    platform::RimuoviTemporaneiOrfaniInCartella(cartella.Fd(), nome);
    platform::ScriviFileAtomicoInCartella(cartella.Fd(), nome, testo, 0644);
  } catch (...) {
    const orvane::DescrizioneErrore d = orvane::DescriviErrore(std::current_exception());
    {
      const std::scoped_lock lock(g_mutexCopie);
      if (!g_copieSegnalate.insert(file.string() + '\n' + d.descrizione).second) return;
    }
    throw orvane::Errore(d.numero, "Impossibile scrivere la copia della richiesta \"" +
                                       file.string() + "\": " + d.descrizione);
  }
}

// Whole clock seconds whose boundary was crossed between two instants.
long long SecondiTrascorsi(platform::Istante inizio, platform::Istante adesso) {
  using std::chrono::floor;
  using std::chrono::seconds;
  return (floor<seconds>(adesso) - floor<seconds>(inizio)).count();
}

// Waits for the answer, running the host's messages between short waits on
// the sockets. Returns the failure met (the timeout, or a transfer that
// broke), empty when the answer arrived. The limit is read on the clock, as
// the clock moves turn by turn: a turn counts no more than the monotonic
// clock moved in it and a second, and never less than nothing, so a clock
// stepped forward (NTP at log-on) does not end the wait, and one set back
// cannot stretch it past the same time measured on the monotonic clock.
std::string AttendiRisposta(RichiestaHttp& richiesta, platform::Istante inizio,
                            int secondiMassimi) {
  using std::chrono::steady_clock;
  const auto partenza = steady_clock::now();
  const auto limiteMonotono =
      partenza + std::chrono::seconds(secondiMassimi) + std::chrono::seconds(1);
  platform::Istante contato = inizio;
  platform::Istante letto = inizio;
  auto monotono = steady_clock::now();
  // A failure while waiting (in the host's messages, or in the transfer) is
  // noted as the exchange's failure, like the timeout, not logged.
  try {
    while (richiesta.readyState() != 4) {
      platform::ElaboraMessaggiInAttesa();
      if (FineRichiesta()) return std::string(kAbbandonata);
      const platform::Istante adesso = platform::Adesso();
      const auto ora = steady_clock::now();
      const auto massimo = std::chrono::duration_cast<platform::Istante::duration>(
          ora - monotono + std::chrono::seconds(1));
      contato += std::clamp<platform::Istante::duration>(adesso - letto, {}, massimo);
      letto = adesso;
      monotono = ora;
      if (SecondiTrascorsi(inizio, contato) > secondiMassimi || ora > limiteMonotono) {
        return std::string(kTimeout);
      }
      richiesta.Attendi(ora - partenza < kAttesaBreve ? kAttesaTraMessaggi
                                                      : kAttesaTraMessaggiLunga);
    }
    return richiesta.DescrizioneErrore();
  } catch (...) {
    const std::string descrizione = orvane::DescriviErrore(std::current_exception()).descrizione;
    return descrizione.empty() ? std::string(kTimeout) : descrizione;
  }
}

}  // namespace

clsSOAP::clsSOAP() = default;

clsSOAP::~clsSOAP() = default;

const std::string& clsSOAP::URI() const {
  return uri_;
}

void clsSOAP::URI(const std::string& valore) {
  uri_ = valore;
}

const std::string& clsSOAP::StatoRichiesta() const {
  return statoRichiesta_;
}

std::shared_ptr<RichiestaHttp> clsSOAP::XmlReq() const {
  return xmlReq_;
}

std::string_view clsSOAP::ValoreInviato(std::string_view valore) {
  return valore.substr(0, valore.find(';'));
}

void clsSOAP::ImpostaSecondiAttesaMassima(int secondi) {
  secondiAttesaMassima_ = secondi;
}

std::string clsSOAP::CreaRichiestaSOAP(const std::string& funzione,
                                       const std::vector<std::string>& Parametri) {
  return orvane::Routine(kModulo, "CreaRichiestaSOAP", [&](int& linea) {
    linea = 10;
    pugi::xml_document documento;
    linea = 20;
    pugi::xml_node dichiarazione = documento.append_child(pugi::node_declaration);
    dichiarazione.append_attribute("version") = "1.0";
    dichiarazione.append_attribute("encoding") = "utf-8";
    linea = 30;
    pugi::xml_node busta = documento.append_child("soap:Envelope");
    busta.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
    busta.append_attribute("xmlns:xsd") = "http://www.w3.org/2001/XMLSchema";
    busta.append_attribute("xmlns:soap") = "http://www.w3.org/2001/06/soap-envelope";
    linea = 40;
    pugi::xml_node corpo = busta.append_child("soap:Body");
    linea = 50;
    ControllaNome(funzione);
    pugi::xml_node operazione = corpo.append_child(funzione.c_str());
    linea = 60;
    // The last element is the upper bound: never sent.
    for (std::size_t i = 0; i + 1 < Parametri.size(); ++i) {
      const std::string& elemento = Parametri[i];
      const auto primo = elemento.find(';');
      if (primo == std::string::npos) {
        throw std::out_of_range("parametro senza punto e virgola: " + elemento);
      }
      const std::string nome = elemento.substr(0, primo);
      const std::string valore(ValoreInviato(std::string_view(elemento).substr(primo + 1)));
      ControllaNome(nome);
      ControllaTesto(nome, valore);
      pugi::xml_node parametro = operazione.append_child(nome.c_str());
      if (!valore.empty()) parametro.append_child(pugi::node_pcdata).set_value(valore.c_str());
    }
    linea = 70;
    std::ostringstream testo;
    documento.save(testo, "", pugi::format_raw, pugi::encoding_utf8);
    std::string richiesta = std::move(testo).str();
    linea = 80;
    // A copy that cannot be kept (a refused state folder, a full disk) is
    // logged, and the request still goes out.
    orvane::Routine(kModulo, "CreaRichiestaSOAP", [&](int& passo) {
      passo = 80;
      ScriviCopia(platform::PreparaPostoFile(platform::FileSistema::CopiaRichiesta,
                                             orvane::PercorsoDeliverable().parent_path()),
                  richiesta);
    });
    return richiesta;
  });
}

std::string clsSOAP::InviaRichiestaPOST(const std::vector<std::string>& Parametri,
                                        const std::string& funzione) {
  return orvane::Routine(kModulo, "InviaRichiestaPOST", [&](int& linea) -> std::string {
    linea = 10;
    richiestaCostruita_ = false;
    const std::string richiesta = CreaRichiestaSOAP(funzione, Parametri);
    richiestaCostruita_ = !richiesta.empty();
    linea = 20;
    xmlReq_ = std::make_shared<RichiestaHttp>();
    // Our own reference: the request lives to the end of this call even if
    // a message handler replaces XmlReq meanwhile.
    const std::shared_ptr<RichiestaHttp> richiestaCorrente = xmlReq_;
    RichiestaHttp& http = *richiestaCorrente;
    linea = 30;
    http.open("POST", uri_, true);
    linea = 40;
    http.setRequestHeader("Content-Type", "text/xml; charset=utf-8");
    http.setRequestHeader("Content-Lenght", "0");
    http.setRequestHeader("SOAPAction", std::string(kNamespaceServizio) + funzione);
    linea = 50;
    http.send(richiesta);
    const platform::Istante inizio = platform::Adesso();
    linea = 60;
    const std::string fallimento = AttendiRisposta(http, inizio, secondiAttesaMassima_);
    linea = 70;
    if (!fallimento.empty()) {
      statoRichiesta_ = fallimento;
      std::fprintf(stderr, "Quomaro: %s %s: %s\n", funzione.c_str(), uri_.c_str(),
                   fallimento.c_str());
      return {};
    }
    linea = 80;
    const std::string tipo = http.getResponseHeader("Content-Type");
    if (tipo.find("text/xml") == std::string::npos) {
      // An error status without the service's envelope is a page of whatever
      // stands on the way (a proxy asking for credentials, a gateway): the
      // caller reads no verdict in it, and the journal says what answered.
      if (http.status() < 200 || http.status() > 299) {
        std::fprintf(stderr, "Quomaro: %s %s: il server risponde HTTP %ld\n", funzione.c_str(),
                     uri_.c_str(), http.status());
      }
      return http.responseText();
    }
    linea = 90;
    // Once parsed, the raw answer is let go: a large answer is held at most
    // twice. An answer without a result stays for the host to read.
    std::optional<std::string> ritorno = TestoRitorno(
        http.responseText(), [&http] { (void)http.RilasciaRisposta(); }, tipo);
    linea = 100;
    if (!ritorno) {
      throw orvane::Errore(orvane::kOggettoNonImpostato,
                           "Variabile oggetto o variabile del blocco With non impostata");
    }
    return std::move(*ritorno);
  });
}

}  // namespace quomaro
