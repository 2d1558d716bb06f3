// quomaro: support staff's window onto the update service, through the same
// library and the same configuration as Tervan. It asks whether a customer
// may use the service, lists the packages a customer sees for a program,
// runs a query or a statement on the service, and downloads a package.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "BarraProgresso.h"
#include "DocumentoXml.h"
#include "ScaricaFile.h"
#include "TabellaRecordset.h"
#include "platform/Cartelle.h"
#include "platform/Collocazione.h"
#include "platform/Descrittore.h"
#include "platform/Messaggi.h"
#include "platform/TestoSql.h"
#include "platform/TestoUtf8.h"
#include "platform/UscitaStandard.h"
#include "quomaro/Configurazione.h"
#include "quomaro/FirmaPacchetto.h"
#include "quomaro/Host.h"
#include "quomaro/Scaricamento.h"
#include "quomaro/clsCA.h"
#include "quomaro/clsSOAP.h"

namespace {

using quomaro::clsCA;
using quomaro::Recordset;

constexpr int kRiuscito = 0;
constexpr int kFallito = 1;
constexpr int kUsoErrato = 2;

constexpr std::string_view kUso =
    "Uso:\n"
    "  quomaro connessione UTENTE        se il cliente UTENTE può usare il servizio (S/N)\n"
    "  quomaro elenco UTENTE PROGRA      i pacchetti che UTENTE vede per il programma PROGRA\n"
    "  quomaro select \"SQL\"              esegue una SELECT sul servizio e ne mostra le righe\n"
    "  quomaro sql \"ISTRUZIONE\"          fa eseguire un'istruzione SQL al servizio\n"
    "  quomaro scarica [--chiave PUB] URL FILE\n"
    "                                    scarica URL e lo salva in FILE; con --chiave,\n"
    "                                    solo se URL.minisig è la firma di PUB per URL\n"
    "\n"
    "Il servizio è quello del server di aggiornamenti configurato per Tervan: la\n"
    "variabile ORVANE_UPDATE_SERVER (per esempio http://127.0.0.1:8080), se manca\n"
    "la chiave server del file orvane/tervan.conf, altrimenti il valore fissato\n"
    "alla compilazione. Un testo inviato al servizio non può contenere \";\".\n"
    "Gli errori della libreria sono scritti anche in Tarvik.Log accanto a\n"
    "Quomaro.so.\n"
    "Esito: 0 riuscito, 1 non riuscito, 2 uso errato.\n";

int UsoErrato(const std::string& messaggio) {
  std::cerr << "quomaro: " << messaggio << "\n\n" << kUso;
  return kUsoErrato;
}

// What the service sent, fit for a terminal: no control character (an
// escape sequence could retitle or clear it) and at most 2000 bytes.
std::string PerTerminale(std::string_view testo) {
  return quomaro::strumento::SuUnaRiga(platform::TestoAccorciato(testo, 2000));
}

// A failure's message may quote the service.
int Fallito(const std::string& messaggio) {
  std::cerr << "quomaro: ERRORE: " << PerTerminale(messaggio) << "\n";
  return kFallito;
}

// The value after `etichetta` on its line of an error record.
std::optional<std::string> CampoRecord(const std::string& record, std::string_view etichetta) {
  const auto inizio = record.find(etichetta);
  if (inizio == std::string::npos) return std::nullopt;
  const auto da = inizio + etichetta.size();
  return record.substr(da, record.find_first_of("\r\n", da) - da);
}

// Whether `record` is the last thing in the library's error log (Tarvik.Log
// beside Quomaro.so). The library shows a record whether or not the log took
// it: a full disk, or a folder in the log's place, leaves it out.
bool UltimoNelLog(const std::string& record) {
  const std::string atteso = record + "\r\n";
  const auto libreria =
      platform::PercorsoModulo(reinterpret_cast<const void*>(&quomaro::EndpointServizio));
  const auto log = platform::PostoFile(platform::FileSistema::LogErrori, libreria.parent_path());
  const platform::Descrittore fd(
      ::open(log.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  struct stat st {};
  if (fd.Fd() < 0 || ::fstat(fd.Fd(), &st) != 0 || !S_ISREG(st.st_mode) ||
      st.st_size < static_cast<off_t>(atteso.size()))
    return false;
  std::string coda(atteso.size(), '\0');
  return ::pread(fd.Fd(), coda.data(), coda.size(), st.st_size - static_cast<off_t>(coda.size())) ==
             static_cast<ssize_t>(coda.size()) &&
         coda == atteso;
}

// The library's error records, as one line each on standard error instead of
// a message box: the tool runs without a desktop.
int MostraErroreLibreria(const platform::Messaggio& m) {
  const auto descrizione = CampoRecord(m.testo, " Descrizione     : ");
  const auto modulo = CampoRecord(m.testo, " Modulo          : ");
  const auto routine = CampoRecord(m.testo, " Routine         : ");
  const auto linea = CampoRecord(m.testo, " Linea di codice : ");
  if (descrizione && modulo && routine && linea) {
    std::cerr << "quomaro: errore in " << *modulo << "." << *routine << " (passo " << *linea
              << "): " << PerTerminale(*descrizione)
              << (UltimoNelLog(m.testo) ? " [registrato in Tarvik.Log]" : "") << "\n";
  } else {
    std::cerr << "quomaro: " << PerTerminale(m.testo) << "\n";
  }
  return platform::RispostaPredefinita(m.stile);
}

// What a SOAP answer says: the text of its first "return" element, or of its
// fault's "faultstring" (or SOAP 1.2 "Text"), whatever the prefixes.
struct TestoRisposta {
  std::optional<std::string> ritorno;
  std::optional<std::string> guasto;
};

std::string NomeLocale(const char* nome) {
  const std::string_view n(nome);
  const auto duepunti = n.find(':');
  return std::string(duepunti == std::string_view::npos ? n : n.substr(duepunti + 1));
}

TestoRisposta LeggiRisposta(const std::string& corpo) {
  TestoRisposta r;
  pugi::xml_document documento;
  // With the library's bounds: an answer it refused to parse for its size
  // must not cost the tool gigabytes either.
  if (!quomaro::CaricaDocumentoUnico(documento, corpo)) return r;
  for (const pugi::xpath_node& x : documento.select_nodes("//*")) {
    const std::string nome = NomeLocale(x.node().name());
    if (!r.ritorno && nome == "return") r.ritorno = x.node().child_value();
    if (!r.guasto && (nome == "faultstring" || nome == "Text")) r.guasto = x.node().child_value();
  }
  return r;
}

// Why an exchange gave nothing, from the request the library kept.
std::string Diagnosi(const std::shared_ptr<quomaro::RichiestaHttp>& richiesta) {
  const std::string servizio = " (servizio " + quomaro::EndpointServizio() + ")";
  // A request that was never opened was refused before it could leave.
  if (!richiesta || richiesta->readyState() == 0) return "la richiesta non è partita" + servizio;
  if (richiesta->readyState() != 4) {
    return "Connessione al server non disponibile: nessuna risposta entro " +
           std::to_string(quomaro::clsSOAP::kSecondiAttesaMassima) + " secondi" + servizio;
  }
  if (!richiesta->DescrizioneErrore().empty()) {
    return "Connessione al server non disponibile: " + richiesta->DescrizioneErrore() + servizio;
  }
  const std::string http =
      "HTTP " + std::to_string(richiesta->status()) + " " + richiesta->statusText();
  const TestoRisposta risposta = LeggiRisposta(richiesta->responseText());
  if (risposta.guasto) {
    return "il servizio ha rifiutato la richiesta (" + http + "): " + *risposta.guasto;
  }
  return "risposta del servizio senza risultato (" + http + ")" + servizio;
}

std::string Diagnosi(const clsCA& ca) {
  return Diagnosi(ca.XmlReq());
}

// Texts sent to the service travel as name;value: a ";" would silently cut
// them, so the tool refuses them instead.
std::optional<std::string> TestoNonInviabile(const std::vector<std::string>& testi) {
  for (const auto& t : testi) {
    if (t.find(';') != std::string::npos) {
      return "\"" + t +
             "\" contiene \";\": il servizio riceverebbe soltanto il testo prima del "
             "primo \";\"";
    }
  }
  return std::nullopt;
}

int Connessione(const std::string& utente) {
  clsCA ca;
  const std::string verdetto = ca.RichiestaConnessione(utente);
  if (verdetto == "S") {
    std::cout << "S: l'utente " << utente << " è abilitato al servizio\n";
    return kRiuscito;
  }
  if (verdetto == "N") {
    std::cout << "N: l'utente " << utente << " non è abilitato al servizio\n";
    return kRiuscito;
  }
  if (verdetto.empty()) return Fallito(Diagnosi(ca));
  return Fallito("risposta inattesa del servizio: " + verdetto);
}

int Elenco(const std::string& utente, const std::string& progra) {
  clsCA ca;
  const std::shared_ptr<Recordset> rs = ca.getFILEXX(utente, progra);
  if (!rs) return Fallito("la richiesta non è partita (vedere Tarvik.Log)");
  if (rs->State() != Recordset::adStateOpen) {
    if (!ca.xmlStream().empty()) return Fallito("il servizio risponde: " + ca.xmlStream());
    return Fallito(Diagnosi(ca));
  }
  // The list Tervan shows: the program's packages, oldest first.
  if (rs->EsisteCampo("dataxx")) rs->Sort("dataxx ASC");
  if (rs->EsisteCampo("progra")) rs->Filter("progra=" + platform::LetteraleSql(progra));
  std::cout << quomaro::strumento::TabellaRecordset(*rs);
  return kRiuscito;
}

int Select(const std::string& sql) {
  clsCA ca;
  const std::shared_ptr<Recordset> rs = ca.SelectSQL_ADO(sql);
  if (rs) {
    std::cout << quomaro::strumento::TabellaRecordset(*rs);
    return kRiuscito;
  }
  const auto richiesta = ca.XmlReq();
  if (richiesta && richiesta->readyState() == 4 && richiesta->status() == 200) {
    const TestoRisposta risposta = LeggiRisposta(richiesta->responseText());
    if (risposta.ritorno && !risposta.ritorno->empty()) {
      return Fallito("la risposta del servizio non è un recordset: " + *risposta.ritorno);
    }
  }
  return Fallito(Diagnosi(ca));
}

int Sql(const std::string& istruzione) {
  // clsCA drops the service's answer: the tool posts the operation through
  // the transport itself, to show it.
  quomaro::clsSOAP soap;
  soap.URI(quomaro::EndpointServizio());
  const std::string risposta =
      soap.InviaRichiestaPOST({"strsql;" + istruzione, ""}, "EseguiComandoSQL");
  const auto richiesta = soap.XmlReq();
  if (!risposta.empty() && richiesta && richiesta->status() == 200 &&
      richiesta->getResponseHeader("Content-Type").find("text/xml") != std::string::npos) {
    std::cout << "Istruzione eseguita (risposta del servizio: " << PerTerminale(risposta) << ")\n";
    return kRiuscito;
  }
  return Fallito(Diagnosi(richiesta));
}

int Scarica(const std::string& url, const std::string& file,
            const std::optional<std::string>& fileChiave) {
  std::optional<quomaro::ChiavePubblica> chiave;
  if (fileChiave) {
    try {
      chiave = quomaro::LeggiFileChiave(*fileChiave);
    } catch (const std::exception& e) {
      return Fallito(e.what());
    }
    if (!chiave) return Fallito("chiave pubblica " + *fileChiave + " inesistente");
  }
  std::unique_ptr<quomaro::strumento::BarraProgresso> barra;
  if (::isatty(STDERR_FILENO) == 1) {
    barra = std::make_unique<quomaro::strumento::BarraProgresso>(stderr, std::nullopt);
  }
  quomaro::Scaricamento scaricamento(barra.get());
  if (barra) {
    scaricamento.QuandoRisposta([&barra](long /*stato*/, std::optional<long long> dichiarati) {
      barra->ImpostaTotale(dichiarati);
    });
  }
  const auto esito =
      quomaro::strumento::ScaricaFile(url, file, scaricamento, chiave ? &*chiave : nullptr);
  if (barra) barra->Chiudi();
  if (!esito.riuscito) return Fallito(esito.errore);
  std::cout << "Scaricati " << quomaro::strumento::ConPunti(esito.byte) << " byte in " << file
            << (chiave ? ", firma verificata (chiave " + chiave->IdTesto() + ")" : std::string())
            << "\n";
  return kRiuscito;
}

int Esegui(const std::vector<std::string>& args) {
  if (args.empty()) return UsoErrato("manca il comando");
  const std::string& comando = args.front();
  std::vector<std::string> resto(args.begin() + 1, args.end());
  // `scarica` alone takes an option, before its arguments.
  std::optional<std::string> chiave;
  if (comando == "scarica" && !resto.empty() && resto.front() == "--chiave") {
    if (resto.size() < 2 || resto[1].empty())
      return UsoErrato("manca il file della chiave dopo --chiave");
    chiave = resto[1];
    resto.erase(resto.begin(), resto.begin() + 2);
  }
  if (comando == "-h" || comando == "--help" || comando == "aiuto") {
    std::cout << kUso;
    return kRiuscito;
  }
  if (comando == "--version" && resto.empty()) {
    std::cout << "quomaro " ORVANE_VERSIONE "\n";
    return kRiuscito;
  }
  struct Forma {
    std::string_view nome;
    std::size_t argomenti;
    std::string_view descrizione;
    bool soap;
  };
  static constexpr Forma kComandi[] = {
      {"connessione", 1, "connessione UTENTE", true},
      {"elenco", 2, "elenco UTENTE PROGRA", true},
      {"select", 1, "select \"SQL\"", true},
      {"sql", 1, "sql \"ISTRUZIONE\"", true},
      {"scarica", 2, "scarica [--chiave PUB] URL FILE", false},
  };
  const Forma* forma = nullptr;
  for (const Forma& f : kComandi) {
    if (f.nome == comando) forma = &f;
  }
  if (forma == nullptr) return UsoErrato("comando sconosciuto: " + comando);
  if (resto.size() != forma->argomenti) {
    return UsoErrato("il comando si usa così: quomaro " + std::string(forma->descrizione));
  }
  for (const auto& a : resto) {
    if (a.empty())
      return UsoErrato("argomento vuoto in: quomaro " + std::string(forma->descrizione));
  }
  if (forma->soap) {
    if (const auto motivo = TestoNonInviabile(resto)) return UsoErrato(*motivo);
  }

  quomaro::ImpostaPortaMessaggi(MostraErroreLibreria);
  if (comando == "connessione") return Connessione(resto[0]);
  if (comando == "elenco") return Elenco(resto[0], resto[1]);
  if (comando == "select") return Select(resto[0]);
  if (comando == "sql") return Sql(resto[0]);
  return Scarica(resto[0], resto[1], chiave);
}

}  // namespace

int main(int argc, char** argv) {
  platform::RiapriDescrittoriStandard();
  // The service's address is UTF-8 as the settings write it, and libcurl
  // reads a host name outside ASCII (an IDN) in the character set of
  // LC_CTYPE: in the C locale it refuses it, in a Latin-1 one it would ask
  // for another host.
  (void)std::setlocale(LC_CTYPE, "C.UTF-8");
  // A write past the file size limit (ulimit -f) fails with EFBIG and is
  // reported, rather than killing the tool with its temporary file left.
  (void)std::signal(SIGXFSZ, SIG_IGN);
  // The program's one failure boundary: whatever escapes a command is
  // reported and ends the program with status 1, and so does a result that
  // did not reach standard output.
  int esito = kFallito;
  try {
    esito = Esegui(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    esito = Fallito(e.what());
  }
  return platform::UscitaStandardScritta(esito, "quomaro: ERRORE: ");
}
