#include "RegistroAutostart.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "RegistroFile.h"
#include "platform/FileAtomico.h"
#include "platform/RigaDiComando.h"
#include "platform/TestoUtf8.h"

namespace platform {
namespace {

constexpr std::string_view kEstensione = ".desktop";
constexpr std::string_view kGruppo = "[Desktop Entry]";
// The exact command line of the value, beside the Exec key that runs it.
constexpr std::string_view kChiaveComando = "X-Orvane-Comando";
constexpr std::size_t kNomeFileMassimo = 255;
constexpr std::size_t kVoceMassima = 1U << 20U;

// How the system's own log-on entry shows in the desktop's session settings.
struct Presentazione {
  std::string_view nome;
  std::string_view icona;
  std::string_view commento;
};
constexpr std::array kPresentazioni{
    Presentazione{"Orvane Software - Aggiornamenti automatici", "orvane-tervan",
                  "Cerca e scarica gli aggiornamenti dei programmi Orvane installati"},
};

// Escapes of string values in desktop entries.
std::string EscapeStringa(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case ' ':
        // Readers drop the blanks around a value.
        out += (i == 0 || i + 1 == s.size()) ? "\\s" : " ";
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

std::string TogliEscapeStringa(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char dopo = s[++i];
    switch (dopo) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += dopo;
        break;
    }
  }
  return out;
}

// The arguments of a Windows command line: blanks separate them, double
// quotes group, backslashes count only before a double quote.
std::vector<std::string> ArgomentiWindows(std::string_view riga) {
  std::vector<std::string> argomenti;
  std::size_t i = 0;
  while (true) {
    while (i < riga.size() && SpazioOrizzontale(riga[i]))
      ++i;
    if (i == riga.size()) break;
    std::string arg;
    bool virgolette = false;
    while (i < riga.size()) {
      const char c = riga[i];
      if (c == '\\') {
        std::size_t barre = 0;
        while (i < riga.size() && riga[i] == '\\') {
          ++barre;
          ++i;
        }
        if (i < riga.size() && riga[i] == '"') {
          arg.append(barre / 2, '\\');
          if (barre % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(barre, '\\');
        }
      } else if (c == '"') {
        if (virgolette && i + 1 < riga.size() && riga[i + 1] == '"') {
          arg += '"';
          i += 2;
        } else {
          virgolette = !virgolette;
          ++i;
        }
      } else if (SpazioOrizzontale(c) && !virgolette) {
        break;
      } else {
        arg += c;
        ++i;
      }
    }
    argomenti.push_back(std::move(arg));
  }
  return argomenti;
}

bool Riservato(char c) {
  static constexpr std::string_view kRiservati = " \t\n\r\"'\\><~|&;$*?#()`";
  return kRiservati.find(c) != std::string_view::npos;
}

// The lines of an entry's [Desktop Entry] group, key and raw value.
std::vector<std::pair<std::string, std::string>> ChiaviGruppo(std::string_view testo) {
  std::vector<std::pair<std::string, std::string>> chiavi;
  bool nelGruppo = false;
  std::size_t pos = 0;
  while (pos < testo.size()) {
    std::size_t fine = testo.find('\n', pos);
    if (fine == std::string_view::npos) fine = testo.size();
    std::string_view riga = testo.substr(pos, fine - pos);
    pos = fine + 1;
    if (!riga.empty() && riga.back() == '\r') riga.remove_suffix(1);
    const std::string_view pulita = SenzaSpaziAiLati(riga);
    if (pulita.empty() || pulita.front() == '#') continue;
    if (pulita.front() == '[') {
      nelGruppo = pulita == kGruppo;
      continue;
    }
    const std::size_t uguale = pulita.find('=');
    if (!nelGruppo || uguale == std::string_view::npos) continue;
    std::string_view valore = pulita.substr(uguale + 1);
    while (!valore.empty() && SpazioOrizzontale(valore.front()))
      valore.remove_prefix(1);
    chiavi.emplace_back(SenzaSpaziAiLati(pulita.substr(0, uguale)), valore);
  }
  return chiavi;
}

std::optional<VoceAutostart> LeggiVoce(const std::filesystem::path& file) {
  const LetturaFileRegistro l = LeggiFileRegistro(file, kVoceMassima);
  if (!l.esiste || l.errore != 0) return std::nullopt;
  VoceAutostart voce;
  voce.file = file;
  voce.nome = NomeDaFileAutostart(file.stem().string());
  std::optional<std::string> exec;
  std::optional<std::string> comando;
  for (const auto& [chiave, valore] : ChiaviGruppo(l.contenuto)) {
    if (chiave == "Exec") exec = valore;
    if (chiave == kChiaveComando) comando = valore;
    if (chiave == "Hidden") voce.nascosta = valore == "true";
  }
  voce.propria = comando.has_value();
  if (comando && exec && RigaExec(TogliEscapeStringa(*comando)) == *exec) {
    voce.comando = TogliEscapeStringa(*comando);
  } else if (exec) {
    voce.comando = ComandoDaRigaExec(*exec);
  }
  return voce;
}

// The entry of a value name among `voci`: the one written for this very
// name first, then any that reads as it.
std::optional<VoceAutostart> Trova(std::vector<VoceAutostart> voci,
                                   const std::filesystem::path& cartella, std::string_view nome) {
  const std::filesystem::path proprio = cartella / NomeFileAutostart(nome);
  for (auto& v : voci) {
    if (v.file == proprio) return std::move(v);
  }
  for (auto& v : voci) {
    if (UgualiSenzaMaiuscoleUtf8(v.nome, nome)) return std::move(v);
  }
  return std::nullopt;
}

// The entry of a value name in one folder, hidden ones included.
std::optional<VoceAutostart> TrovaIn(const std::filesystem::path& cartella, std::string_view nome) {
  return Trova(VociAutostart(cartella, true), cartella, nome);
}

// The first machine-wide entry of a value name, hidden or not.
std::optional<VoceAutostart> TrovaNelSistema(std::string_view nome) {
  for (const auto& cartella : CartelleAutostartSistema()) {
    if (auto voce = TrovaIn(cartella, nome)) return voce;
  }
  return std::nullopt;
}

// Whether `file` is already a plain file of ours holding exactly `testo`,
// as writing it would leave it: the value is set again at every start.
bool GiaScritta(const std::filesystem::path& file, std::string_view testo) {
  std::error_code ec;
  const auto stato = std::filesystem::symlink_status(file, ec);
  if (ec || !std::filesystem::is_regular_file(stato) ||
      stato.permissions() != static_cast<std::filesystem::perms>(0644))
    return false;
  const LetturaFileRegistro l = LeggiFileRegistro(file, testo.size() + 1);
  return l.esiste && l.errore == 0 && l.contenuto == testo;
}

// The same program, whatever its arguments.
bool StessoProgramma(std::string_view a, std::string_view b) {
  const auto primo = [](std::string_view comando) {
    const std::vector<std::string> argomenti = ArgomentiWindows(comando);
    return argomenti.empty() ? std::string() : argomenti.front();
  };
  return primo(a) == primo(b);
}

}  // namespace

std::vector<std::filesystem::path> CartelleAutostartSistema() {
  std::vector<std::filesystem::path> cartelle;
  const char* elenco = std::getenv("XDG_CONFIG_DIRS");
  std::string_view resto = elenco == nullptr ? std::string_view() : std::string_view(elenco);
  while (!resto.empty()) {
    const std::size_t due = resto.find(':');
    const std::string_view voce = resto.substr(0, due);
    resto = due == std::string_view::npos ? std::string_view() : resto.substr(due + 1);
    // Relative folders are invalid there and ignored.
    if (!voce.empty() && voce.front() == '/')
      cartelle.push_back(std::filesystem::path(voce) / "autostart");
  }
  if (cartelle.empty()) cartelle.emplace_back("/etc/xdg/autostart");
  return cartelle;
}

const std::vector<std::string>& PercorsoChiaveAutostart() {
  static const std::vector<std::string> kPercorso{"SOFTWARE", "Microsoft", "Windows",
                                                  "CurrentVersion", "Run"};
  return kPercorso;
}

bool ChiaveAutostart(HKEY radice, const std::vector<std::string>& percorso) {
  if (radice != HKEY_LOCAL_MACHINE && radice != HKEY_CURRENT_USER) return false;
  const auto& atteso = PercorsoChiaveAutostart();
  if (percorso.size() != atteso.size()) return false;
  return std::equal(
      percorso.begin(), percorso.end(), atteso.begin(),
      [](const std::string& a, const std::string& b) { return UgualiSenzaMaiuscoleUtf8(a, b); });
}

std::string NomeFileAutostart(std::string_view nome) {
  if (nome.empty()) return "@" + std::string(kEstensione);
  static constexpr std::array<char, 16> kCifre{'0', '1', '2', '3', '4', '5', '6', '7',
                                               '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
  std::string out;
  for (std::size_t i = 0; i < nome.size(); ++i) {
    const auto c = static_cast<unsigned char>(nome[i]);
    const bool sicuro = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '_' ||
                        (c == '.' && i > 0) || c >= 0x80;
    if (sicuro) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kCifre.at(c >> 4U);
      out += kCifre.at(c & 0x0FU);
    }
  }
  return out + std::string(kEstensione);
}

std::string NomeDaFileAutostart(std::string_view radiceNomeFile) {
  if (radiceNomeFile == "@") return {};
  std::string out;
  for (std::size_t i = 0; i < radiceNomeFile.size(); ++i) {
    if (radiceNomeFile[i] == '%' && i + 2 < radiceNomeFile.size() &&
        ValoreCifraEsadecimale(radiceNomeFile[i + 1]) >= 0 &&
        ValoreCifraEsadecimale(radiceNomeFile[i + 2]) >= 0) {
      out += static_cast<char>(ValoreCifraEsadecimale(radiceNomeFile[i + 1]) * 16 +
                               ValoreCifraEsadecimale(radiceNomeFile[i + 2]));
      i += 2;
    } else {
      out += radiceNomeFile[i];
    }
  }
  return out;
}

std::string RigaExec(std::string_view comando) {
  std::string riga;
  for (const auto& arg : ArgomentiWindows(comando)) {
    if (!riga.empty()) riga += ' ';
    const bool tra = arg.empty() || std::any_of(arg.begin(), arg.end(), Riservato);
    if (tra) riga += '"';
    for (const char c : arg) {
      if (c == '%') {
        riga += "%%";  // a literal percent sign, not a field code
      } else if (tra && (c == '"' || c == '`' || c == '$' || c == '\\')) {
        riga += '\\';
        riga += c;
      } else {
        riga += c;
      }
    }
    if (tra) riga += '"';
  }
  return EscapeStringa(riga);
}

std::string ComandoDaRigaExec(std::string_view exec) {
  const std::string riga = TogliEscapeStringa(exec);
  std::vector<std::string> argomenti;
  std::size_t i = 0;
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
  while (true) {
    while (i < riga.size() && blank(riga[i]))
      ++i;
    if (i == riga.size()) break;
    std::string arg;
    const bool tra = riga[i] == '"';
    if (tra) ++i;
    while (i < riga.size()) {
      const char c = riga[i];
      if (tra && c == '"') {
        ++i;
        break;
      }
      if (!tra && blank(c)) break;
      if (tra && c == '\\' && i + 1 < riga.size()) {
        arg += riga[i + 1];
        i += 2;
        continue;
      }
      if (c == '%' && i + 1 < riga.size() && riga[i + 1] == '%') ++i;
      arg += riga[i];
      ++i;
    }
    argomenti.push_back(std::move(arg));
  }
  return RigaWindows(argomenti);
}

std::string TestoVoceAutostart(std::string_view nome, std::string_view comando, bool nascosta) {
  std::string t(kGruppo);
  t += "\nType=Application\nName=";
  t += EscapeStringa(nome);
  for (const auto& p : kPresentazioni) {
    if (p.nome != nome) continue;
    t += "\nComment=";
    t += p.commento;
    t += "\nIcon=";
    t += p.icona;
  }
  t += "\nExec=";
  t += RigaExec(comando);
  t += "\nX-GNOME-Autostart-enabled=true\n";
  if (nascosta) t += "Hidden=true\n";
  t += kChiaveComando;
  t += '=';
  t += EscapeStringa(comando);
  t += '\n';
  return t;
}

std::vector<VoceAutostart> VociAutostart(const std::filesystem::path& cartella,
                                         bool ancheNascoste) {
  std::vector<std::filesystem::path> file;
  std::error_code ec;
  for (const auto& voce : std::filesystem::directory_iterator(cartella, ec)) {
    const std::string nome = voce.path().filename().string();
    if (nome.size() > kEstensione.size() &&
        nome.compare(nome.size() - kEstensione.size(), kEstensione.size(), kEstensione) == 0 &&
        voce.is_regular_file(ec)) {
      file.push_back(voce.path());
    }
  }
  std::sort(file.begin(), file.end());
  std::vector<VoceAutostart> voci;
  for (const auto& f : file) {
    auto voce = LeggiVoce(f);
    if (voce && (ancheNascoste || !voce->nascosta)) voci.push_back(std::move(*voce));
  }
  return voci;
}

std::vector<VoceAutostart> VociAutostartProprie(const std::filesystem::path& cartella) {
  std::vector<VoceAutostart> tutte = VociAutostart(cartella, true);
  std::vector<std::string> visti;
  visti.reserve(tutte.size());
  for (const auto& v : tutte)
    visti.push_back(v.file.filename().string());
  // A machine-wide entry counts where no more important one of its file
  // name exists, whatever that one says.
  for (const auto& sistema : CartelleAutostartSistema()) {
    for (auto& v : VociAutostart(sistema, true)) {
      std::string nomeFile = v.file.filename().string();
      if (std::find(visti.begin(), visti.end(), nomeFile) != visti.end()) continue;
      visti.push_back(std::move(nomeFile));
      tutte.push_back(std::move(v));
    }
  }
  std::erase_if(tutte, [](const VoceAutostart& v) { return !v.propria || v.nascosta; });
  return tutte;
}

std::optional<VoceAutostart> TrovaVoceAutostart(const std::filesystem::path& cartella,
                                                std::string_view nome) {
  auto voce = TrovaIn(cartella, nome);
  if (!voce) voce = TrovaNelSistema(nome);
  if (voce && voce->nascosta) return std::nullopt;
  return voce;
}

void ScriviVoceAutostart(const std::filesystem::path& cartella, std::string_view nome,
                         std::string_view comando) {
  const std::string nomeFile = NomeFileAutostart(nome);
  if (nomeFile.size() > kNomeFileMassimo) {
    throw std::invalid_argument("nome di valore troppo lungo per una voce di avvio automatico");
  }
  const auto esistente = TrovaIn(cartella, nome);
  const auto sistema = TrovaNelSistema(nome);
  // The machine-wide entry of this very program is the administrator's:
  // the arguments given there, or its being switched off, stand against
  // what the program writes at each start, as on Windows a user may not
  // write the machine's Run key. The user's own entry then goes, whatever
  // it said, so that the machine-wide one applies. An entry that starts
  // this very program is its own also when written by hand, without the
  // key that carries the command.
  if (sistema && StessoProgramma(sistema->comando, comando)) {
    if (esistente) std::filesystem::remove(esistente->file);
    return;
  }
  // The user's entry overrides the machine-wide one by its file name.
  const std::filesystem::path file =
      esistente ? esistente->file
                : cartella / (sistema ? sistema->file.filename() : std::filesystem::path(nomeFile));
  const std::string testo = TestoVoceAutostart(nome, comando);
  if (esistente && GiaScritta(file, testo)) return;
  CreaCartellePrivate(cartella);
  RimuoviTemporaneiOrfani(file);
  ScriviFileAtomico(file, testo, 0644);
}

LSTATUS CancellaVoceAutostart(const std::filesystem::path& cartella, std::string_view nome) {
  const auto voce = TrovaVoceAutostart(cartella, nome);
  // Other programs' entries are theirs to remove.
  if (!voce) return ERROR_FILE_NOT_FOUND;
  if (!voce->propria) return ERROR_ACCESS_DENIED;
  const auto sistema = TrovaNelSistema(nome);
  if (!sistema || sistema->nascosta || !sistema->propria) {
    std::filesystem::remove(voce->file);
    return ERROR_SUCCESS;
  }
  // A machine-wide entry stays; the user's override hides it.
  const std::filesystem::path file = cartella / sistema->file.filename();
  if (voce->file != file && voce->file.parent_path() == cartella)
    std::filesystem::remove(voce->file);
  CreaCartellePrivate(cartella);
  RimuoviTemporaneiOrfani(file);
  ScriviFileAtomico(file, TestoVoceAutostart(sistema->nome, sistema->comando, true), 0644);
  return ERROR_SUCCESS;
}

}  // namespace platform
