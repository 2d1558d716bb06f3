#include "updater/ScaricamentoAggiornamenti.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "Libzip.h"
#include "common/Errore.h"
#include "common/Routine.h"
#include "common/basUtilxx.h"
#include "platform/Descrittore.h"
#include "platform/FileAtomico.h"
#include "platform/Messaggi.h"
#include "platform/Orologio.h"
#include "platform/Percorsi.h"
#include "platform/PompaMessaggi.h"
#include "platform/TestoSql.h"
#include "platform/TestoUtf8.h"
#include "quomaro/Configurazione.h"
#include "quomaro/Host.h"
#include "quomaro/Scaricamento.h"
#include "quomaro/clsCA.h"
#include "quomaro/clsSOAP.h"
#include "updater/DataOraLocale.h"
#include "updater/FirmaPacchetti.h"
#include "updater/basTervan.h"

namespace tervan {
namespace {

constexpr std::string_view kModulo = "frmTervan";
constexpr std::string_view kRoutine = "CopiaAggiornamentiInServer";
// How often the bar and the window are repainted while a package arrives.
constexpr auto kIntervalloRidisegno = std::chrono::milliseconds(100);

using Colonna = ElencoAggiornamenti::Colonna;

// Thrown through the downloader when the session ends during a package.
struct SessioneTerminata {};

// A grid cell that must hold a whole number.
std::int32_t Intero(const std::string& testo) {
  long long valore = 0;
  const char* fine = testo.data() + testo.size();
  const auto [p, errore] = std::from_chars(testo.data(), fine, valore);
  if (testo.empty() || errore == std::errc::invalid_argument || p != fine)
    throw orvane::Errore(orvane::kTipoNonCorrispondente, "Tipo non corrispondente");
  if (errore == std::errc::result_out_of_range ||
      valore > std::numeric_limits<std::int32_t>::max() ||
      valore < std::numeric_limits<std::int32_t>::min())
    throw orvane::Errore(orvane::kOverflow, "Overflow");
  return static_cast<std::int32_t>(valore);
}

// The size the list gives for the package `pacchetto`: at most what a
// download may bring (a 32-bit count). A package announced beyond it, or
// below 0, could never arrive whole: it is refused before anything is
// fetched, naming the package and the size.
std::int32_t DimensioneAnnunciata(const std::string& testo, const std::string& pacchetto) {
  const auto fuori = [&] {
    return orvane::Errore(orvane::kOverflow,
                          pacchetto + ": dimensione annunciata di " + testo +
                              " byte, fuori dai limiti di un pacchetto (da 0 a " +
                              std::to_string(quomaro::clsDownload::kByteMassimi) + " byte)");
  };
  std::int32_t byte = 0;
  try {
    byte = Intero(testo);
  } catch (const orvane::Errore& e) {
    if (e.Numero() == orvane::kOverflow) throw fuori();
    throw;
  }
  if (byte < 0) throw fuori();
  return byte;
}

// The zip archive of a package, opened on the file it was written to.
class ArchivioZip {
 public:
  explicit ArchivioZip(int fd) {
    platform::Descrittore copia = platform::Duplica(fd);
    int errore = 0;
    archivio_ = zip::Libzip().fdopen(copia.Fd(), ZIP_CHECKCONS | ZIP_RDONLY, &errore);
    if (archivio_ != nullptr) (void)copia.Rilascia();  // libzip closes it now
  }
  ~ArchivioZip() {
    if (archivio_ != nullptr) zip::Libzip().discard(archivio_);
  }
  ArchivioZip(const ArchivioZip&) = delete;
  ArchivioZip& operator=(const ArchivioZip&) = delete;

  // Whether the archive's central directory agrees with its entries, it has
  // at least one entry, and every entry reads through to its end: libzip
  // checks each entry's CRC there. Entries are read in small blocks, never
  // held whole; `passo` runs between blocks (it may throw to give up).
  [[nodiscard]] bool Integro(const std::function<void()>& passo) const {
    if (archivio_ == nullptr) return false;
    const zip::Funzioni& libzip = zip::Libzip();
    const zip_int64_t voci = libzip.get_num_entries(archivio_, 0);
    if (voci <= 0) return false;
    std::vector<char> blocco(std::size_t{1} << 16U);
    for (zip_int64_t i = 0; i < voci; ++i) {
      const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> voce(
          libzip.fopen_index(archivio_, static_cast<zip_uint64_t>(i), 0), libzip.fclose);
      if (!voce) return false;
      for (;;) {
        const zip_int64_t letti = libzip.fread(voce.get(), blocco.data(), blocco.size());
        if (letti < 0) return false;
        if (letti == 0) break;
        passo();
      }
    }
    return true;
  }

 private:
  zip_t* archivio_ = nullptr;
};

// A name part from the service that must stay a plain name: no separator,
// no "..", no NUL or control character. The refused name is quoted in the
// error log with its control characters as \xHH: a line break there would
// let the service write records of its own into the log.
void VerificaNome(std::string_view parte) {
  const bool estranea = parte.find_first_of("/\\") != std::string_view::npos ||
                        parte.find("..") != std::string_view::npos;
  bool controllo = false;
  for (const char c : parte)
    controllo = controllo || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
  if (estranea || controllo)
    throw orvane::Errore(orvane::kErroreAccessoPercorso,
                         "Nome di pacchetto non valido: " + platform::ControlliVisibili(parte));
}

// Whether `nome` has the form NomeLocale gives a package's file:
// "<type>-yyyy-mm-dd-hh-mm-ss-C-<code>.zip".
bool NomeDiPacchetto(std::string_view nome) {
  constexpr std::string_view kEstensione = ".zip";
  constexpr std::string_view kData = "-dddd-dd-dd-dd-dd-dd";
  if (!nome.ends_with(kEstensione)) return false;
  nome.remove_suffix(kEstensione.size());
  const std::size_t c = nome.rfind("-C-");
  if (c == std::string_view::npos || c <= kData.size()) return false;
  std::string_view codice = nome.substr(c + 3);
  if (codice.starts_with('-')) codice.remove_prefix(1);
  if (codice.empty() || codice.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  const std::string_view data = nome.substr(c - kData.size(), kData.size());
  for (std::size_t i = 0; i < kData.size(); ++i) {
    const bool cifra = data[i] >= '0' && data[i] <= '9';
    if (kData[i] == 'd' ? !cifra : data[i] != kData[i]) return false;
  }
  return true;
}

// "yyyy/mm/dd hh.mm.ss" of now, local time.
std::string Adesso() {
  const DataOraLocale d = OraLocale(platform::Adesso());
  char testo[32];
  std::snprintf(testo, sizeof testo, "%04d/%02d/%02d %02d.%02d.%02d", d.anno, d.mese, d.giorno,
                d.ore, d.minuti, d.secondi);
  return testo;
}

// A value of the download record: text an XML request can carry, and no
// ";" (which would cut the statement in the transport) but a ",".
std::string ValoreRecord(std::string_view valore) {
  std::string testo = platform::TestoPerXml(valore);
  for (char& c : testo)
    if (c == ';') c = ',';
  return platform::LetteraleSql(testo);
}

// The run's controls and downloader state, put back however the run ends.
class FineCorsa {
 public:
  FineCorsa(ControlliFinestra& c, bool& inCorso) : c_(c), inCorso_(inCorso) { inCorso_ = true; }
  ~FineCorsa() {
    inCorso_ = false;
    c_.vbalProg.setVisible(false);
    c_.Label1.setVisible(false);
    orvane::Tacitamente([] { platform::ElaboraMessaggiInAttesa(); });
  }
  FineCorsa(const FineCorsa&) = delete;
  FineCorsa& operator=(const FineCorsa&) = delete;

 private:
  ControlliFinestra& c_;
  bool& inCorso_;
};

// A package file is nobody else's to change, whatever the umask.
constexpr mode_t kScritturaAltrui = S_IWGRP | S_IWOTH;

// The "Aggiornamenti" folder made for a package that was then not placed:
// removed again when it stayed empty. It is removed from the data folder it
// was made in, and only while that folder still holds it under its name:
// the data folder's path may lead elsewhere by then (another user's link
// put in its place), and an entry of that name there is someone else's.
class CartellaNuova {
 public:
  CartellaNuova() = default;
  ~CartellaNuova() {
    struct stat trovata {};
    if (dati_.Fd() >= 0 &&
        ::fstatat(dati_.Fd(), nome_.c_str(), &trovata, AT_SYMLINK_NOFOLLOW) == 0 &&
        trovata.st_dev == fatta_.st_dev && trovata.st_ino == fatta_.st_ino)
      ::unlinkat(dati_.Fd(), nome_.c_str(), AT_REMOVEDIR);
  }
  CartellaNuova(const CartellaNuova&) = delete;
  CartellaNuova& operator=(const CartellaNuova&) = delete;

  // The folder `nome` in the data folder open on `dati`, open on `fatta`.
  void Fatta(const platform::Descrittore& dati, std::string nome, int fatta) {
    if (::fstat(fatta, &fatta_) != 0) return;
    dati_ = platform::Duplica(dati.Fd());
    nome_ = std::move(nome);
  }
  // The package is placed in it: it stays.
  void Tieni() { dati_ = {}; }

 private:
  platform::Descrittore dati_;
  std::string nome_;
  struct stat fatta_ {};
};

}  // namespace

ScaricamentoAggiornamenti::ScaricamentoAggiornamenti(StatoFinestra& stato,
                                                     ControlliFinestra& controlli,
                                                     ElencoAggiornamenti& elenco)
    : stato_(stato), controlli_(controlli), elenco_(elenco), chiaveVista_(ChiaveInstallata()) {}

std::string ScaricamentoAggiornamenti::NomeDownload(std::int32_t codice) {
  // Five digits whatever the sign: a negative code keeps its minus sign in
  // front of them ("-00005"), where printf would count the sign as a digit.
  const long long valore = codice;
  char testo[32];
  std::snprintf(testo, sizeof testo, "Aggiornamento%s%05lld.zip", valore < 0 ? "-" : "",
                valore < 0 ? -valore : valore);
  return testo;
}

std::string ScaricamentoAggiornamenti::NomeLocale(std::string_view tipo, std::string_view data,
                                                  std::int32_t codice) {
  VerificaNome(tipo);
  const auto d = data.empty() ? std::nullopt : LeggiUltima(data);
  if (!d) throw orvane::Errore(orvane::kTipoNonCorrispondente, "Tipo non corrispondente");
  char testo[48];
  std::snprintf(testo, sizeof testo, "-%04d-%02d-%02d-%02d-%02d-%02d-C-%d.zip", d->anno, d->mese,
                d->giorno, d->ore, d->minuti, d->secondi, static_cast<int>(codice));
  std::string nome = std::string(tipo) + testo;
  if (nome.size() > platform::kLunghezzaMassimaNome)
    throw orvane::Errore(
        orvane::kErroreAccessoPercorso,
        "Nome di pacchetto troppo lungo (" + std::to_string(nome.size()) + " byte): " + nome);
  return nome;
}

std::string ScaricamentoAggiornamenti::ComandoRegistrazione(std::string_view adesso,
                                                            std::string_view utente,
                                                            std::int32_t codice,
                                                            std::string_view descrizione,
                                                            std::string_view sessione) {
  // The customer recorded is the one the list was asked for: the transport
  // sends a value up to its first ";".
  return "insert into download(dataxx, utente, codzip, descri, session) values(" +
         ValoreRecord(adesso) + ", " + ValoreRecord(quomaro::clsSOAP::ValoreInviato(utente)) +
         ", " + ValoreRecord(std::to_string(codice)) + ", " + ValoreRecord(descrizione) + ", " +
         ValoreRecord(sessione) + ")";
}

void ScaricamentoAggiornamenti::ConnessioneAggiornamenti() {
  bool ok = false;
  CopiaAggiornamentiInServer(ok);
  // The program is ending: nobody is left to tell.
  if (stato_.SessioneFinita || abbandonata_) return;
  // The date field was disabled for the run only, whatever it placed.
  controlli_.Text1.setEnabled(true);
  if (ok) {
    controlli_.NotifyIconCtrl1.MostraFumetto(std::string(kFumettoTesto),
                                             std::string(kFumettoTitolo), 14500);
    return;
  }
  // Hidden in the tray nobody is there to close a box: the balloon says it.
  if (controlli_.FinestraVisibile()) {
    (void)platform::MsgBox(std::string(kNessunoScaricato), platform::vbInformation,
                           std::string(kTitoloAvviso));
  } else {
    controlli_.NotifyIconCtrl1.MostraFumetto(std::string(kNessunoScaricato),
                                             std::string(kTitoloAvviso), 3000);
  }
}

void ScaricamentoAggiornamenti::CopiaAggiornamentiInServer(bool& ok) {
  orvane::Routine(kModulo, kRoutine, [&](int& linea) {
    linea = 10;
    controlli_.vbalProg.setVisible(true);
    controlli_.vbalProg.setMinimum(1);
    controlli_.vbalProg.setValue(1);
    controlli_.Label2.setVisible(false);
    cronologiaDaMostrare_ = false;
    abbandonata_ = false;
    const FineCorsa fine(controlli_, inCorso_);
    // One connection to the update server for every package of the run and
    // its signature, released when the run ends.
    quomaro::ConnessioneScaricamento connessione;
    int contatore = 0;
    linea = 20;
    const int righe = elenco_.Righe();
    const bool tutti =
        RigaDiComandoRifilata() == "VERIFICA" || stato_.stato == StatoVassoio::Nascosto;
    const auto daScaricare = [&](int riga) {
      return tutti || elenco_.Testo(riga, Colonna::kEsegui) == "Ok";
    };
    // "1 di N" counts the packages this run fetches, not those listed.
    int totale = 0;
    for (int i = 1; i <= righe; i += 2)
      if (daScaricare(i)) ++totale;
    for (int i = 1; i <= righe; i += 2) {
      linea = 30;
      if (!daScaricare(i)) continue;
      ++contatore;
      linea = 40;
      try {
        ScaricaPacchetto(i, contatore, totale, connessione);
      } catch (const SessioneTerminata&) {
        abbandonata_ = true;
        return;  // abandoned, nothing written: not a failure
      }
      ok = true;
      cronologiaDaMostrare_ = true;
      controlli_.Label1.setVisible(false);
    }
  });
}

void ScaricamentoAggiornamenti::ScaricaPacchetto(int riga, int contatore, int totale,
                                                 quomaro::ConnessioneScaricamento& connessione) {
  const std::string utente = elenco_.Testo(riga, Colonna::kUtente);
  const std::string descrizione = elenco_.Testo(riga, Colonna::kContenuto);
  controlli_.vbalProg.setFormat(
      QStringLiteral("Download aggiornamento %1 di %2").arg(contatore).arg(totale));
  controlli_.Label1.setVisible(true);
  ControlliFinestra::Scrivi(controlli_.Label1,
                            "Download aggiornamento " + std::to_string(contatore) + " di " +
                                std::to_string(totale) + " - " + descrizione + " in corso...");
  controlli_.finestra.repaint();

  const std::int32_t codice = Intero(elenco_.Testo(riga, Colonna::kCodice));
  dimensioneFile_ = DimensioneAnnunciata(elenco_.Testo(riga, Colonna::kByte), NomeDownload(codice));
  controlli_.vbalProg.setMaximum(std::max<std::int32_t>(dimensioneFile_, 1));
  // Every name is checked before anything is fetched.
  const std::string nome =
      NomeLocale(elenco_.Testo(riga, Colonna::kTipo), elenco_.Testo(riga, Colonna::kData), codice);
  // A data folder named by a drive (C:\ORVANE\TARVIK) or by an absolute
  // path holds its "Aggiornamenti" folder as an entry of its own. Any other
  // (a relative path, a server's share such as \\SRV\DATI, nothing at all) would
  // be taken from the folder Tervan happened to start in, where the program
  // never looks: the package fails instead.
  const std::string indicata = elenco_.Testo(riga, Colonna::kCartellaDati);
  const std::filesystem::path datiLocali = platform::PercorsoLocale(indicata);
  if (!datiLocali.is_absolute())
    throw orvane::Errore(orvane::kFileNonTrovato, "Cartella dei dati non valida: \"" + indicata +
                                                      "\" (attesa un'unità, come C:\\, o un "
                                                      "percorso che inizia con /)");
  const std::filesystem::path cartella = platform::VoceInCartella(datiLocali, "Aggiornamenti");
  // The data folder is the program's own and may be reached through a link
  // (Wine's drive links among them), but only through one its owner could
  // have made: another user's link in a shared folder on the way would send
  // the packages into a folder of that user's choosing. Inside it no link is
  // followed, neither for "Aggiornamenti" nor for a package, since others
  // may write there.
  const std::filesystem::path dati = cartella.parent_path();
  const std::string nomeCartella = cartella.filename().string();
  const std::string nomeFile = platform::VoceInCartella(cartella, nome).filename().string();

  // A run killed while it wrote a package left its temporary file, maybe
  // for a name the list no longer gives (the package's date changed); one
  // that another Tervan (another session or user of this data folder) is
  // writing now is locked, and stays.
  if (std::error_code ec; std::filesystem::is_directory(cartella, ec)) {
    orvane::Tacitamente([&] {
      const platform::Descrittore d = platform::ApriCartellaPrivata(dati, false);
      const platform::Descrittore a = platform::ApriSottocartella(d.Fd(), nomeCartella, false);
      platform::RimuoviTemporaneiOrfaniInCartella(a.Fd(), nomeFile);
      platform::RimuoviTemporaneiOrfaniInCartella(a.Fd(), NomeDiPacchetto);
    });
  }

  const std::string indirizzo =
      quomaro::ServerAggiornamenti() + "/ServizioAggiornamenti/download/" + NomeDownload(codice);
  // The body goes straight into a temporary file beside the package's final
  // name, made when a 2xx answer starts; nothing more than the list
  // announced is taken. The temporary file goes with any failure, and so
  // does an "Aggiornamenti" folder made for it.
  CartellaNuova nuova;
  platform::Descrittore aggiornamenti;
  std::unique_ptr<platform::FileAtomicoInCartella> file;
  quomaro::LimitiScaricamento limiti;
  limiti.byteMassimi = std::min<long long>(limiti.byteMassimi, std::max(dimensioneFile_, 0));
  quomaro::Scaricamento scaricamento(this, limiti, &connessione);
  // The first read may be far off on a slow line: the window is brought up
  // to date as soon as the answer starts.
  scaricamento.QuandoRisposta([&](long stato, std::optional<long long>) {
    ultimoRidisegno_ = {};
    DownloadProgressione(0);
    if (stato < 200 || stato > 299) return;
    // The data folder must exist; its "Aggiornamenti" folder is made when missing.
    const platform::Descrittore cartellaDati = platform::ApriCartellaPrivata(dati, false);
    struct stat esistente {};
    const bool mancante =
        ::fstatat(cartellaDati.Fd(), nomeCartella.c_str(), &esistente, AT_SYMLINK_NOFOLLOW) != 0 &&
        errno == ENOENT;
    aggiornamenti = platform::ApriSottocartella(cartellaDati.Fd(), nomeCartella, true);
    if (mancante) nuova.Fatta(cartellaDati, nomeCartella, aggiornamenti.Fd());
    file = std::make_unique<platform::FileAtomicoInCartella>(aggiornamenti.Fd(), nomeFile,
                                                             std::nullopt, kScritturaAltrui);
    // A disk without room for the package says so before it arrives.
    platform::RiservaInCoda(file->Fd(), static_cast<std::size_t>(std::max(dimensioneFile_, 0)),
                            nomeFile);
  });
  const quomaro::EsitoScaricamento esito =
      scaricamento.ScaricaIn(indirizzo, [&](std::string_view parte) {
        if (file) file->Scrivi(parte);
      });
  if (esito.fine == quomaro::FineScaricamento::Abbandonato) throw SessioneTerminata{};
  if (!esito.Riuscito())
    throw orvane::Errore(orvane::kErroreIO, indirizzo + ": " + esito.Descrizione());
  if (esito.ricevuti != dimensioneFile_)
    throw orvane::Errore(orvane::kErroreIO,
                         indirizzo + ": ricevuti " + std::to_string(esito.ricevuti) +
                             " byte invece di " + std::to_string(dimensioneFile_));
  // What is placed must be the maker's, and a whole archive: every check of
  // the package runs on the file before it is placed. The signature comes
  // first, so the archive reader never sees bytes the maker did not sign.
  const quomaro::LetturaPacchetto pacchetto =
      [&](const std::function<void(std::string_view)>& blocco) {
        if (!file) return;
        platform::LeggiDaCapo(
            file->Fd(),
            [&](std::string_view b) {
              blocco(b);
              DownloadProgressione(dimensioneFile_);
            },
            nomeFile);
      };
  try {
    VerificaFirmaPacchetto(indirizzo, pacchetto, contatore == 1, chiaveVista_, &connessione);
  } catch (const orvane::Errore&) {
    // A signature fetch that the program's end cut short is no verdict.
    if (quomaro::ProgrammaInChiusura()) throw SessioneTerminata{};
    throw;
  }
  if (!file || !ArchivioZip(file->Fd()).Integro([this] { DownloadProgressione(dimensioneFile_); }))
    throw orvane::Errore(orvane::kErroreIO,
                         indirizzo + ": il pacchetto non è un archivio zip integro");
  if (stato_.SessioneFinita || quomaro::ProgrammaInChiusura()) throw SessioneTerminata{};
  // The package goes where the program looks for it or nowhere: an
  // "Aggiornamenti" (or data folder) moved away while the package arrived,
  // and maybe replaced by another folder or a link, would get a package
  // recorded as delivered that the program never finds. Checked before the
  // rename and again after it, since flushing a large file takes time.
  const auto alSuoPosto = [&] {
    struct stat aperta {};
    struct stat trovata {};
    const platform::Descrittore cartellaDati = platform::ApriCartellaPrivata(dati, false);
    if (::fstat(aggiornamenti.Fd(), &aperta) != 0 ||
        ::fstatat(cartellaDati.Fd(), nomeCartella.c_str(), &trovata, AT_SYMLINK_NOFOLLOW) != 0 ||
        aperta.st_dev != trovata.st_dev || aperta.st_ino != trovata.st_ino)
      throw orvane::Errore(
          orvane::kErroreAccessoPercorso,
          cartella.string() + ": la cartella è stata spostata o sostituita durante il download");
  };
  alSuoPosto();
  file->Consegna();
  nuova.Tieni();
  alSuoPosto();

  if (!stato_.ServizioCA)
    throw orvane::Errore(orvane::kOggettoNonImpostato, "Variabile oggetto non impostata");
  // A package on disk without its record is a failure of that package,
  // unless the record was given up because the program is ending.
  if (!stato_.ServizioCA->InviaComandoSQL(
          ComandoRegistrazione(Adesso(), utente, codice, descrizione, stato_.IdSessione))) {
    if (quomaro::ProgrammaInChiusura()) throw SessioneTerminata{};
    throw orvane::Errore(orvane::kErroreIO,
                         "Registrazione del download non riuscita: " + NomeDownload(codice));
  }
}

void ScaricamentoAggiornamenti::DownloadProgressione(long ByteLetti) {
  if (stato_.SessioneFinita) throw SessioneTerminata{};
  QProgressBar& barra = controlli_.vbalProg;
  // The bar moves in steps of half a percent, and reaches its end: setting
  // it for every piece received would cost more than writing the piece.
  const long inizio = barra.minimum();
  const long fine = barra.maximum();
  const long passo = std::max<long>((fine - inizio) / 200, 1);
  const long valore = std::clamp<long>(ByteLetti, inizio, fine);
  barra.setValue(
      static_cast<int>(valore == fine ? fine : inizio + (valore - inizio) / passo * passo));
  // The window stays alive while a package arrives: repaints, the tray and
  // refused close requests, a few times a second.
  const auto ora = std::chrono::steady_clock::now();
  if (ora - ultimoRidisegno_ < kIntervalloRidisegno) return;
  ultimoRidisegno_ = ora;
  barra.repaint();
  platform::ElaboraMessaggiInAttesa();
  if (stato_.SessioneFinita) throw SessioneTerminata{};
}

void ScaricamentoAggiornamenti::MostraCronologia(const std::function<void()>& chiudi) {
  if (!ModalitaLive() || !cronologiaDaMostrare_) return;
  orvane::CloseApplication(std::string(kTitoloBrowser));
  orvane::BrowserUrl(quomaro::SitoWeb() + "/cronologia.aspx?session=" + stato_.IdSessione);
  // The history replaces the window: its close is granted.
  stato_.ChiusuraConsentita = true;
  if (chiudi) chiudi();
}

}  // namespace tervan
