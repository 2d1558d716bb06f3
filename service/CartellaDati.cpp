#include "service/CartellaDati.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Descrittore.h"
#include "service/CatalogoServizio.h"

namespace orvane::servizio {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Rifiuta(const fs::path& cartella, const std::string& motivo) {
  throw std::runtime_error("La cartella " + cartella.string() + " " + motivo);
}

// For a failed call: `errore` is its errno, taken before anything may change it.
[[noreturn]] void Rifiuta(const fs::path& cartella, int errore, const char* cosa) {
  Rifiuta(cartella, std::string(cosa) + ": " + std::strerror(errore));
}

// Swaps two folders of the same file system in one step: each takes the
// other's name.
void ScambiaCartelle(const fs::path& una, const fs::path& altra) {
  if (::renameat2(AT_FDCWD, una.c_str(), AT_FDCWD, altra.c_str(), RENAME_EXCHANGE) != 0) {
    const int errore = errno;
    throw std::runtime_error("Impossibile scambiare le cartelle " + una.string() + " e " +
                             altra.string() + ": " + std::strerror(errore));
  }
}

// Copies into `a` the signature found in `da`, as a plain file, of each
// package listed.
void CopiaFirme(const fs::path& da, const fs::path& a, const std::vector<Pacchetto>& pacchetti) {
  for (const auto& p : pacchetti) {
    const std::string nome = CatalogoServizio::NomeFile(p.codice) + ".minisig";
    struct stat info {};
    if (::lstat((da / nome).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      fs::copy_file(da / nome, a / nome);
    }
  }
}

// Where a seed builds its packages, beside the served ones.
fs::path CartellaNuova(const fs::path& cartellaDownload) {
  return cartellaDownload.parent_path() / (cartellaDownload.filename().string() + ".nuovo");
}

}  // namespace

fs::path CartellaPropria(const fs::path& cartella, mode_t modo) {
  // "dati/" names the folder itself: without the slash, which would have
  // the system follow a link of that name.
  fs::path percorso = cartella.lexically_normal();
  if (!percorso.has_filename() && percorso.has_parent_path()) percorso = percorso.parent_path();
  // The folders above are the administrator's choice, links included: they
  // are resolved here, and only the last name is held to what follows.
  const fs::path sopra = percorso.has_parent_path() ? percorso.parent_path() : fs::path(".");
  fs::create_directories(sopra);
  percorso = percorso.filename() == "." || percorso.filename() == ".."
                 ? fs::canonical(percorso)
                 : fs::canonical(sopra) / percorso.filename();
  const bool creata = ::mkdir(percorso.c_str(), modo) == 0;
  if (!creata && errno != EEXIST) Rifiuta(percorso, errno, "non si può creare");
  const platform::Descrittore fd(
      ::open(percorso.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.Fd() < 0) {
    const int errore = errno;
    if (errore != ELOOP && errore != ENOTDIR) Rifiuta(percorso, errore, "non si può aprire");
    Rifiuta(percorso, "è un collegamento o un file, non una cartella: il servizio non la segue");
  }
  struct stat info {};
  if (::fstat(fd.Fd(), &info) != 0) Rifiuta(percorso, errno, "non si può leggere");
  if (info.st_uid != ::geteuid()) {
    Rifiuta(percorso, "appartiene a un altro utente: il servizio usa solo una cartella sua");
  }
  // The umask may have taken bits the folder needs; a folder found is left as it is.
  if (creata && ::fchmod(fd.Fd(), modo) != 0) Rifiuta(percorso, errno, "non si può impostare");
  if (((creata ? modo : info.st_mode) & (S_IWGRP | S_IWOTH)) != 0) {
    Rifiuta(percorso, "è scrivibile da altri utenti: il servizio la vuole scrivibile solo da sé");
  }
  return percorso;
}

platform::Descrittore BloccaCartella(const fs::path& cartella) {
  platform::Descrittore fd(
      ::open(cartella.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.Fd() < 0) Rifiuta(cartella, errno, "non si può aprire");
  // The lock goes with the process, however it ends: nothing is left to
  // clear after a kill.
  int esito = 0;
  do {
    esito = ::flock(fd.Fd(), LOCK_EX | LOCK_NB);
  } while (esito != 0 && errno == EINTR);
  if (esito != 0) {
    const int errore = errno;
    if (errore != EWOULDBLOCK) Rifiuta(cartella, errore, "non si può riservare");
    Rifiuta(cartella,
            "è già in uso da un altro orvane-service: fermarlo prima di avviarne un "
            "altro su questa cartella");
  }
  return fd;
}

void RimuoviPubblicazioneInterrotta(const fs::path& cartellaDownload,
                                    const ArchivioServizio& archivio) {
  const fs::path nuova = CartellaNuova(cartellaDownload);
  const auto corrisponde = [&archivio](const fs::path& cartella) {
    try {
      VerificaPacchetti(cartella, archivio);
      return true;
    } catch (const std::runtime_error&) {
      return false;
    }
  };
  // Stopped between the swap and the commit, the seed left the packages the
  // database still lists (and their signatures) in the other folder: they
  // go back into service before the other folder goes.
  if (fs::is_directory(fs::symlink_status(nuova)) && !corrisponde(cartellaDownload) &&
      corrisponde(nuova)) {
    ScambiaCartelle(nuova, cartellaDownload);
  }
  fs::remove_all(nuova);
}

void PubblicaCatalogo(CatalogoServizio& catalogo, ArchivioServizio& archivio,
                      const fs::path& cartellaDownload) {
  const fs::path nuova = CartellaNuova(cartellaDownload);
  (void)CartellaPropria(nuova, kModoCartellaDownload);
  catalogo.CostruisciPacchetti(nuova);
  CopiaFirme(cartellaDownload, nuova, catalogo.Pacchetti());
  ScambiaCartelle(nuova, cartellaDownload);
  try {
    archivio.Semina(catalogo.Clienti(), catalogo.Pacchetti());
  } catch (const std::exception&) {
    // Back to the files the database still lists; should this fail too,
    // the next start puts them back.
    try {
      ScambiaCartelle(nuova, cartellaDownload);
    } catch (const std::exception&) {
    }
    throw;
  }
  fs::remove_all(nuova);  // the packages served until now
}

void VerificaPacchetti(const fs::path& cartella, const ArchivioServizio& archivio) {
  for (const auto& [codice, dimens] : archivio.Dimensioni()) {
    const fs::path file = cartella / CatalogoServizio::NomeFile(codice);
    // Opened as a request opens it: a file the service may not read (one a
    // move of the folder left to another user) would be listed to every
    // customer and refused to each of them.
    const platform::Descrittore fd(
        ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.Fd() < 0 && errno == EACCES) {
      throw std::runtime_error("Il pacchetto " + std::to_string(codice) + " non si può leggere: " +
                               file.string() + ": " + std::strerror(EACCES));
    }
    struct stat info {};
    if (fd.Fd() < 0 || ::fstat(fd.Fd(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size != dimens) {
      throw std::runtime_error("Il pacchetto " + std::to_string(codice) + " non corrisponde al " +
                               "database: " + file.string() + " manca o non è di " +
                               std::to_string(dimens) + " byte. Ricaricare il catalogo con --seed");
    }
  }
}

}  // namespace orvane::servizio
