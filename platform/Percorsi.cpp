#include "platform/Percorsi.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/PrefissoWine.h"
#include "platform/TestoUtf8.h"

namespace platform {
namespace {

std::optional<std::string> Variabile(const std::string& nome) {
  const char* v = std::getenv(nome.c_str());
  if (v == nullptr || *v == '\0') return std::nullopt;
  return std::string(v);
}

}  // namespace

std::filesystem::path CartellaHome() {
  // A relative HOME would put the user's files below whatever folder the
  // program started in; the account's own home is taken instead.
  if (auto home = Variabile("HOME"); home && home->front() == '/') return *home;
  std::array<char, 4096> buffer{};
  passwd pw{};
  passwd* risultato = nullptr;
  if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &risultato) == 0 &&
      risultato != nullptr && risultato->pw_dir != nullptr) {
    return risultato->pw_dir;
  }
  return "/";
}

std::filesystem::path CartellaConfigurazioneUtente() {
  if (auto xdg = Variabile("XDG_CONFIG_HOME"); xdg && xdg->front() == '/') return *xdg;
  return CartellaHome() / ".config";
}

std::filesystem::path CartellaDatiUtente() {
  if (auto xdg = Variabile("XDG_DATA_HOME"); xdg && xdg->front() == '/') return *xdg;
  return CartellaHome() / ".local" / "share";
}

namespace {

bool Lettera(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The entry of `cartella` that `nome` names: the exact name when it exists,
// else the first (in name order) that equals it without regard to case.
std::optional<std::string> VoceEsistente(const std::filesystem::path& cartella,
                                         const std::string& nome) {
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(cartella / nome, ec))) return nome;
  std::optional<std::string> trovata;
  const std::string cercato = MaiuscoloPerConfrontoUtf8(nome);
  for (const auto& voce : std::filesystem::directory_iterator(cartella, ec)) {
    const std::string candidato = voce.path().filename().string();
    if (MaiuscoloPerConfrontoUtf8(candidato) == cercato && (!trovata || candidato < *trovata)) {
      trovata = candidato;
    }
  }
  return trovata;
}

}  // namespace

std::optional<std::filesystem::path> CartellaDaVariabile(const std::string& nome) {
  const auto valore = Variabile(nome);
  if (!valore) return std::nullopt;
  if (*valore == "~") return CartellaHome();
  if (valore->starts_with("~/")) return CartellaHome() / valore->substr(2);
  if (valore->front() != '/') {
    throw ErroreVariabileCartella("variabile " + nome + ": cartella non valida: \"" + *valore +
                                  "\" (attesa una cartella che inizia con / o con ~)");
  }
  return *valore;
}

void ControllaVariabiliCartelle() {
  (void)CartellaDaVariabile("ORVANE_REGISTRY");
  for (char l = 'A'; l <= 'Z'; ++l)
    (void)CartellaDaVariabile(std::string("ORVANE_DRIVE_") + l);
}

std::filesystem::path CartellaUnita(char lettera) {
  const char l = MaiuscolaAscii(lettera);
  if (auto cartella = CartellaDaVariabile(std::string("ORVANE_DRIVE_") + l)) return *cartella;
  if (const auto prefisso = PrefissoWine()) {
    if (auto cartella = CartellaUnitaWine(*prefisso, l)) return *cartella;
  }
  return CartellaDatiUtente() / "orvane" /
         (std::string("drive_") + static_cast<char>(l - 'A' + 'a'));
}

std::filesystem::path PercorsoLocale(std::string_view percorso) {
  if (percorso.size() < 2 || !Lettera(percorso[0]) || percorso[1] != ':') {
    return std::filesystem::path(percorso);
  }
  // The names below the drive, "." and ".." resolved as Windows does.
  std::vector<std::string> nomi;
  std::size_t inizio = 2;
  while (inizio <= percorso.size()) {
    std::size_t fine = percorso.find_first_of("\\/", inizio);
    if (fine == std::string_view::npos) fine = percorso.size();
    const std::string_view nome = percorso.substr(inizio, fine - inizio);
    if (nome == "..") {
      if (!nomi.empty()) nomi.pop_back();
    } else if (!nome.empty() && nome != ".") {
      nomi.emplace_back(nome);
    }
    inizio = fine + 1;
  }
  std::filesystem::path risultato = CartellaUnita(percorso[0]);
  bool esiste = true;
  for (const auto& nome : nomi) {
    std::optional<std::string> voce;
    if (esiste) voce = VoceEsistente(risultato, nome);
    esiste = voce.has_value();
    risultato /= esiste ? *voce : nome;
  }
  return risultato;
}

std::filesystem::path VoceInCartella(const std::filesystem::path& cartella, std::string_view nome) {
  const std::string cercato(nome);
  return cartella / VoceEsistente(cartella, cercato).value_or(cercato);
}

}  // namespace platform
