#include "service/CartellaDati.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/Descrittore.h"

namespace orvane::servizio {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Rifiuta(const fs::path& cartella, const std::string& motivo) {
  throw std::runtime_error("La cartella " + cartella.string() + " " + motivo);
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
  if (!creata && errno != EEXIST) {
    Rifiuta(percorso, std::string("non si può creare: ") + std::strerror(errno));
  }
  const platform::Descrittore fd(
      ::open(percorso.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.Fd() < 0) {
    const int errore = errno;
    Rifiuta(percorso,
            errore == ELOOP || errore == ENOTDIR
                ? "è un collegamento o un file, non una cartella: il servizio non la segue"
                : std::string("non si può aprire: ") + std::strerror(errore));
  }
  struct stat info {};
  if (::fstat(fd.Fd(), &info) != 0) {
    Rifiuta(percorso, std::string("non si può leggere: ") + std::strerror(errno));
  }
  if (info.st_uid != ::geteuid()) {
    Rifiuta(percorso, "appartiene a un altro utente: il servizio usa solo una cartella sua");
  }
  // The umask may have taken bits the folder needs; a folder found is left as it is.
  if (creata && ::fchmod(fd.Fd(), modo) != 0) {
    Rifiuta(percorso, std::string("non si può impostare: ") + std::strerror(errno));
  }
  if (((creata ? modo : info.st_mode) & (S_IWGRP | S_IWOTH)) != 0) {
    Rifiuta(percorso, "è scrivibile da altri utenti: il servizio la vuole scrivibile solo da sé");
  }
  return percorso;
}

}  // namespace orvane::servizio
