#include "common/basUtilxx.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>
#include <system_error>

#include "common/Errore.h"
#include "common/Routine.h"
#include "common/Versione.h"
#include "platform/Cartelle.h"
#include "platform/Collocazione.h"
#include "platform/Descrittore.h"
#include "platform/Messaggi.h"
#include "platform/Orologio.h"
#include "platform/Registro.h"
#include "platform/RigaDiComando.h"
#include "platform/TestoUtf8.h"

namespace orvane {
namespace {

constexpr std::string_view kTrattini = "-------------------------------------";
constexpr std::string_view kFineRiga = "\r\n";

// Any object of this module: its address tells which deliverable runs us.
const char kAncoraModulo = 0;

std::locale LocaleUtente() {
  try {
    return std::locale("");
  } catch (const std::runtime_error&) {
    return std::locale::classic();
  }
}

// Appends the whole text with one write on a file opened for appending, so
// records of processes writing at the same time never interleave. A FIFO
// in the log's place must not block the program: without a reader the open
// fails (ENXIO) and the record goes to standard error as for any unwritable
// log; regular files ignore O_NONBLOCK. A link in the log's place is never
// followed: whoever planted it does not choose what the record overwrites.
bool AccodaAlFile(const std::filesystem::path& file, const std::string& testo, int& errore) {
  platform::Descrittore fd(::open(
      file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (fd.Fd() < 0) {
    errore = errno;
    return false;
  }
  try {
    // The room for the whole record first: on a full disk the record is not
    // written at all rather than cut off in the middle.
    platform::RiservaInCoda(fd.Fd(), testo.size());
    platform::ScriviTutto(fd.Fd(), testo);
  } catch (const std::system_error& e) {
    errore = e.code().value();
    return false;
  }
  if (!fd.Chiudi()) {
    errore = errno;
    return false;
  }
  return true;
}

// The registry store compiled into this module reports the registry files
// it cannot use to this module's error log.
[[maybe_unused]] const bool kRegistroCollegatoAlLog = [] {
  platform::ImpostaSegnalazioneRegistro([](const platform::SegnalazioneRegistro& s) {
    ScriviErrore("0", std::to_string(s.codice), s.descrizione, "Registro", "LeggiFileRegistro");
  });
  return true;
}();

}  // namespace

std::string DataGenerale(std::chrono::system_clock::time_point istante) {
  const std::time_t t = std::chrono::system_clock::to_time_t(istante);
  std::tm locale{};
  // localtime_r keeps the zone it first read; a zone changed while the
  // program runs is read again, as for the times of the checks.
  tzset();
  localtime_r(&t, &locale);
  // Formatted in wide characters and written out in UTF-8: the log and the
  // box that shows a record read UTF-8, whatever character set the user's
  // locale writes its month names in.
  std::wostringstream testo;
  testo.imbue(LocaleUtente());
  testo << std::put_time(&locale, L"%x %X");
  std::string data;
  for (const wchar_t c : testo.str())
    platform::CodificaUtf8(static_cast<char32_t>(c), data);
  return data;
}

std::filesystem::path PercorsoDeliverable() {
  return platform::PercorsoModulo(&kAncoraModulo);
}

std::filesystem::path FileLogErrori() {
  return platform::PostoFile(platform::FileSistema::LogErrori, PercorsoDeliverable().parent_path());
}

std::string NomeProgetto() {
  return PercorsoDeliverable().stem().string();
}

std::string TestoVersione() {
  return std::to_string(kVersioneModulo.maggiore) + "." + std::to_string(kVersioneModulo.minore) +
         "." + std::to_string(kVersioneModulo.revisione);
}

std::string TestoRecordErrore(std::string_view data, std::string_view Numero,
                              std::string_view Descrizione, std::string_view Modulo,
                              std::string_view Routine, std::string_view Linea) {
  std::string r;
  const auto riga = [&r](std::string_view etichetta, std::string_view valore) {
    r.append(etichetta).append(valore).append(kFineRiga);
  };
  r.append(kTrattini).append(kFineRiga);
  riga(" Data ", data);
  riga(" Errore numero   : ", Numero);
  // A description may quote a registry value or what the service sent: its
  // control characters are written as \xHH, so a line break in it cannot
  // forge a line of the record nor an escape sequence reach the terminal
  // that shows the log.
  riga(" Descrizione     : ", platform::ControlliVisibili(Descrizione));
  riga(" Progetto        : ", NomeProgetto());
  riga(" Modulo          : ", Modulo);
  riga(" Routine         : ", Routine);
  riga(" Linea di codice : ", Linea);
  r.append(" Versione        : ").append(TestoVersione()).append(kTrattini).append(kFineRiga);
  return r;
}

void ScriviErrore(std::string_view Linea, std::string_view Numero, std::string_view Descrizione,
                  std::string_view Modulo, std::string_view Routine) noexcept {
  try {
    // A description may carry what the network sent (a name, an answer):
    // the record takes its first 2000 bytes.
    const std::string record =
        TestoRecordErrore(DataGenerale(platform::Adesso()), Numero,
                          platform::TestoAccorciato(Descrizione, 2000), Modulo, Routine, Linea);
    const bool debug = platform::RigaDiComando() == "DEBUG";
    auto file = FileLogErrori();
    std::string motivo;
    try {
      file = platform::PreparaPostoFile(platform::FileSistema::LogErrori,
                                        PercorsoDeliverable().parent_path());
      int errore = 0;
      if (!AccodaAlFile(file, record + std::string(kFineRiga), errore))
        motivo = file.string() + ": " + std::strerror(errore);
    } catch (const std::system_error& e) {
      // The user's own log folder is refused (a link, another user's).
      motivo = e.what();
    }
    if (!motivo.empty()) {
      // The log is out of reach; the record must not be lost with it. Without
      // a message box standard error is the only place left for it.
      std::fprintf(stderr, "%s: impossibile scrivere %s\n", NomeProgetto().c_str(), motivo.c_str());
      if (debug) std::fwrite(record.data(), 1, record.size(), stderr);
    }
    if (!debug) {
      platform::MsgBox(record, platform::vbOKOnly, NomeProgetto());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ScriviErrore: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "ScriviErrore: errore sconosciuto\n");
  }
}

void SegnalaErrore(int linea, const std::exception_ptr& errore, std::string_view modulo,
                   std::string_view routine) noexcept {
  try {
    const DescrizioneErrore d = DescriviErrore(errore);
    ScriviErrore(std::to_string(linea), std::to_string(d.numero), d.descrizione, modulo, routine);
  } catch (...) {
    std::fprintf(stderr, "SegnalaErrore: errore non registrato in %.*s.%.*s\n",
                 static_cast<int>(modulo.size()), modulo.data(), static_cast<int>(routine.size()),
                 routine.data());
  }
}

}  // namespace orvane
