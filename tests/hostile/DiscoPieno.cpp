#include "DiscoPieno.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <utility>

namespace orvane::test::ostile {

DiscoPieno::DiscoPieno(std::filesystem::path cartella) : cartella_(std::move(cartella)) {
  std::filesystem::create_directories(cartella_);
  montato_ = ::mount("tmpfs", cartella_.c_str(), "tmpfs", 0, "size=64m") == 0;
  if (!montato_) motivo_ = std::string("nessun tmpfs disponibile: ") + std::strerror(errno);
}

DiscoPieno::~DiscoPieno() {
  if (montato_) ::umount2(cartella_.c_str(), MNT_DETACH);
}

void DiscoPieno::Riempi() const {
  std::ofstream riempitivo(cartella_ / "riempitivo", std::ios::binary);
  const std::string blocco(4096, 'x');
  while (riempitivo.write(blocco.data(), static_cast<std::streamsize>(blocco.size())) &&
         riempitivo.flush()) {
  }
}

}  // namespace orvane::test::ostile
