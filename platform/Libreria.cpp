#include "platform/Libreria.h"

#include <dlfcn.h>

#include <system_error>

#include "platform/TestoUtf8.h"

namespace platform {

void Libreria::Scarica::operator()(void* handle) const noexcept {
  dlclose(handle);
}

Libreria Libreria::Carica(const std::filesystem::path& file) {
  // dlopen would search the library path for a bare name; only real files count here.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    Libreria libreria;
    libreria.errore_ = file.string() + ": file non trovato";
    return libreria;
  }
  return Apri(file.c_str(), 0);
}

Libreria Libreria::CaricaDiSistema(const char* nome) {
  // RTLD_NODELETE: dlclose leaves it in place.
  return Apri(nome, RTLD_NODELETE);
}

Libreria Libreria::Apri(const char* nome, int opzioni) {
  Libreria libreria;
  // Bound at once (RTLD_NOW), so a missing dependency fails the load and not
  // a later call; kept to itself (RTLD_LOCAL), so none of its symbols stands
  // in for the program's own.
  void* handle = dlopen(nome, RTLD_NOW | RTLD_LOCAL | opzioni);
  if (handle == nullptr) {
    const char* errore = dlerror();
    libreria.errore_ = errore != nullptr ? errore : nome;
    return libreria;
  }
  libreria.handle_ = std::shared_ptr<void>(handle, Scarica{});
  return libreria;
}

void* Libreria::Simbolo(const char* nome) const noexcept {
  return handle_ ? dlsym(handle_.get(), nome) : nullptr;
}

std::filesystem::path FileComponente(const std::filesystem::path& componente) {
  const std::string estensione = componente.extension().string();
  if (!UgualiSenzaMaiuscoleAscii(estensione, ".dll") &&
      !UgualiSenzaMaiuscoleAscii(estensione, ".ocx")) {
    return componente;
  }
  std::filesystem::path cercato = componente;
  cercato.replace_extension(".so");
  std::error_code ec;
  if (std::filesystem::exists(cercato, ec)) return cercato;
  const std::string nome = cercato.filename().string();
  for (const auto& voce : std::filesystem::directory_iterator(componente.parent_path(), ec)) {
    if (UgualiSenzaMaiuscoleUtf8(voce.path().filename().string(), nome)) return voce.path();
  }
  return cercato;
}

}  // namespace platform
