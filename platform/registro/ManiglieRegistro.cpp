#include "ManiglieRegistro.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <system_error>

namespace platform::registro {
namespace {

constexpr HKEY kPrimoHandle = 0x100;
constexpr HKEY kPassoHandle = 4;

}  // namespace

std::optional<std::size_t> IndiceRadice(HKEY h) {
  if (h >= HKEY_CLASSES_ROOT && h <= HKEY_DYN_DATA) return h - HKEY_CLASSES_ROOT;
  return std::nullopt;
}

HKEY HandleRadice(std::size_t indice) {
  return HKEY_CLASSES_ROOT + static_cast<HKEY>(indice);
}

std::filesystem::path FileRadice(std::size_t radice) {
  return CartellaRegistro() / (std::string(kNomiRadici.at(radice)) + ".reg");
}

Stato& S() {
  static auto* stato = [] {
    auto* s = new Stato;
    s->prossimo = kPrimoHandle;
    return s;
  }();
  return *stato;
}

std::optional<Riferimento> Risolvi(HKEY h) {
  if (auto indice = IndiceRadice(h)) return Riferimento{*indice, {}, KEY_ALL_ACCESS};
  const auto it = S().handle.find(h);
  if (it == S().handle.end()) return std::nullopt;
  return it->second;
}

HKEY NuovoHandle(std::size_t radice, Percorso percorso, std::uint32_t accesso) {
  Stato& s = S();
  while (true) {
    const HKEY h = s.prossimo;
    s.prossimo =
        s.prossimo + kPassoHandle >= HKEY_CLASSES_ROOT ? kPrimoHandle : s.prossimo + kPassoHandle;
    if (!s.handle.contains(h)) {
      s.handle[h] = {radice, std::move(percorso), accesso};
      return h;
    }
  }
}

LSTATUS ChiudiHandle(HKEY h) {
  if (IndiceRadice(h)) return ERROR_SUCCESS;
  return S().handle.erase(h) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

void Segnala(Contesto& c, const std::string& firma, SegnalazioneRegistro s) {
  if (S().fileSegnalati.insert(firma).second) c.segnalazioni.push_back(std::move(s));
}

LSTATUS CodiceDaErrno(int errore) {
  switch (errore) {
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_REGISTRY_IO_FAILED;
  }
}

LSTATUS CodiceDaEccezione(const std::exception_ptr& errore) noexcept {
  try {
    std::rethrow_exception(errore);
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::system_error& e) {
    return e.code().category() == std::generic_category() ||
                   e.code().category() == std::system_category()
               ? CodiceDaErrno(e.code().value())
               : ERROR_REGISTRY_IO_FAILED;
  } catch (const std::invalid_argument&) {
    return ERROR_INVALID_PARAMETER;
  } catch (...) {
    return ERROR_REGISTRY_IO_FAILED;
  }
}

void ConsegnaSegnalazioni(const Contesto& c) noexcept {
  PortaSegnalazioniRegistro porta;
  try {
    {
      const std::scoped_lock lock(S().mutex);
      porta = S().porta;
    }
    for (const auto& s : c.segnalazioni) {
      if (porta) {
        porta(s);
      } else {
        std::fprintf(stderr, "%s\n", s.descrizione.c_str());
      }
    }
  } catch (...) {
    // A report that cannot be made must not change the operation's result.
  }
}

}  // namespace platform::registro
