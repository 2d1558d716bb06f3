#include "tests/support/Processo.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "tests/support/CartellaTemporanea.h"

extern char** environ;

namespace orvane::test {

Processo::Processo(const std::filesystem::path& programma,
                   const std::vector<std::string>& argomenti,
                   const std::map<std::string, std::string>& ambiente,
                   const std::optional<std::filesystem::path>& uscite) {
  std::vector<std::string> voci;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string voce(*e);
    const auto nome = voce.substr(0, voce.find('='));
    if (ambiente.count(nome) == 0) voci.push_back(voce);
  }
  for (const auto& [nome, valore] : ambiente)
    voci.push_back(nome + "=" + valore);

  std::vector<std::string> args{programma.string()};
  args.insert(args.end(), argomenti.begin(), argomenti.end());
  const auto puntatori = [](std::vector<std::string>& testi) {
    std::vector<char*> p;
    for (auto& t : testi)
      p.push_back(t.data());
    p.push_back(nullptr);
    return p;
  };

  posix_spawn_file_actions_t azioni;
  posix_spawn_file_actions_init(&azioni);
  std::string out;
  std::string err;
  if (uscite) {
    out = (*uscite / "stdout").string();
    err = (*uscite / "stderr").string();
    posix_spawn_file_actions_addopen(&azioni, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&azioni, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  const int rc = posix_spawnp(&pid_, programma.c_str(), &azioni, nullptr, puntatori(args).data(),
                              puntatori(voci).data());
  posix_spawn_file_actions_destroy(&azioni);
  if (rc != 0) throw std::runtime_error("posix_spawnp: " + std::string(std::strerror(rc)));
}

Processo::~Processo() {
  if (InEsecuzione()) Termina(SIGKILL);
}

std::optional<int> Processo::Attendi(std::chrono::milliseconds limite) {
  const auto fine = std::chrono::steady_clock::now() + limite;
  while (!esito_) {
    int stato = 0;
    const pid_t r = waitpid(pid_, &stato, WNOHANG);
    if (r == pid_) {
      esito_ = WIFEXITED(stato) ? WEXITSTATUS(stato) : -WTERMSIG(stato);
      break;
    }
    if (std::chrono::steady_clock::now() >= fine) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return esito_;
}

bool Processo::InEsecuzione() {
  return !Attendi(std::chrono::milliseconds(0)).has_value();
}

int Processo::Termina(int segnale) {
  if (!esito_) kill(pid_, segnale);
  return Attendi(std::chrono::hours(1)).value_or(-1000);
}

std::string AttendiRiga(Processo& processo, const std::filesystem::path& file,
                        std::string_view dopo, std::chrono::milliseconds limite) {
  for (const auto fine = std::chrono::steady_clock::now() + limite;
       processo.InEsecuzione() && std::chrono::steady_clock::now() < fine;) {
    const std::string testo = LeggiFile(file);
    const auto inizio = testo.find(dopo);
    const auto a_capo = testo.find('\n', inizio);
    if (inizio != std::string::npos && a_capo != std::string::npos)
      return testo.substr(inizio + dopo.size(), a_capo - inizio - dopo.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return "";
}

void Precarica(std::map<std::string, std::string>& ambiente,
               const std::filesystem::path& libreria) {
  ambiente["LD_PRELOAD"] = libreria.filename().string();
  std::string cartelle = libreria.parent_path().string();
  if (const char* altre = std::getenv("LD_LIBRARY_PATH"); altre != nullptr && *altre != '\0')
    cartelle += std::string(":") + altre;
  ambiente["LD_LIBRARY_PATH"] = cartelle;
}

bool NelPath(const std::string& programma) {
  const char* path = std::getenv("PATH");
  std::string_view resto = path == nullptr ? "" : path;
  while (!resto.empty()) {
    const std::size_t fine = std::min(resto.find(':'), resto.size());
    std::error_code e;
    if (std::filesystem::exists(std::filesystem::path(resto.substr(0, fine)) / programma, e))
      return true;
    resto.remove_prefix(std::min(fine + 1, resto.size()));
  }
  return false;
}

Esito Esegui(const std::filesystem::path& programma, const std::vector<std::string>& argomenti,
             const std::map<std::string, std::string>& ambiente, std::chrono::milliseconds limite) {
  const CartellaTemporanea uscite;
  Processo p(programma, argomenti, ambiente, uscite.Percorso());
  const auto codice = p.Attendi(limite);
  return {codice.value_or(-1000), LeggiFile(uscite / "stdout"), LeggiFile(uscite / "stderr")};
}

}  // namespace orvane::test
