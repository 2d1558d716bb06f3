#include "platform/Registro.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <stdexcept>
#include <system_error>
#include <unordered_map>

#include "RegistroAutostart.h"
#include "RegistroFile.h"
#include "platform/FileAtomico.h"
#include "platform/Percorsi.h"
#include "platform/RegistroFormato.h"
#include "platform/TestoUtf8.h"

namespace platform {
namespace {

constexpr std::array<std::string_view, 7> kNomiRadici{
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
constexpr std::array<std::pair<std::string_view, HKEY>, 5> kAbbreviazioni{{
    {"HKCR", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},
    {"HKCC", HKEY_CURRENT_CONFIG},
}};

// Larger registry files are not read (nor ever rewritten).
constexpr std::size_t kFileMassimo = 64U << 20U;
constexpr std::size_t kNomeChiaveMassimo = 255;
constexpr std::size_t kNomeValoreMassimo = 16383;
constexpr HKEY kPrimoHandle = 0x100;
constexpr HKEY kPassoHandle = 4;

// ---------------------------------------------------------------- the tree

struct ValoreNodo {
  std::string nome;
  std::uint32_t tipo = REG_NONE;
  std::string dati;
};

struct Nodo {
  std::string nome;
  // Stands only for the path of the autostart key, which always exists;
  // not written to the file unless something real is put in it.
  bool virtuale = false;
  std::vector<ValoreNodo> valori;
  std::map<std::string, std::unique_ptr<Nodo>> figli;  // by MaiuscoloPerConfrontoUtf8

  Nodo* Figlio(std::string_view n) {
    const auto it = figli.find(MaiuscoloPerConfrontoUtf8(n));
    return it == figli.end() ? nullptr : it->second.get();
  }
  Nodo& FiglioOCrea(std::string_view n, bool virt, bool* creato = nullptr) {
    auto& posto = figli[MaiuscoloPerConfrontoUtf8(n)];
    if (!posto) {
      posto = std::make_unique<Nodo>();
      posto->nome = std::string(n);
      posto->virtuale = virt;
      if (creato != nullptr) *creato = true;
    }
    return *posto;
  }
  // The subkey that a key creation goes through or creates: a key that
  // only stood for the autostart path becomes real, with the caller's
  // spelling.
  Nodo& FiglioReale(std::string_view n, bool& creato, bool& cambiato) {
    Nodo& figlio = FiglioOCrea(n, false, &creato);
    if (figlio.virtuale) {
      figlio.virtuale = false;
      figlio.nome = std::string(n);
      cambiato = true;
    }
    if (creato) cambiato = true;
    return figlio;
  }
  ValoreNodo* Valore(std::string_view n) {
    for (auto& v : valori) {
      if (UgualiSenzaMaiuscoleUtf8(v.nome, n)) return &v;
    }
    return nullptr;
  }
  bool ImpostaValore(std::string_view n, std::uint32_t tipo, std::string dati) {
    if (ValoreNodo* v = Valore(n)) {
      if (v->tipo == tipo && v->dati == dati) return false;
      v->tipo = tipo;
      v->dati = std::move(dati);
      return true;
    }
    valori.push_back({std::string(n), tipo, std::move(dati)});
    return true;
  }
  bool CancellaValore(std::string_view n) {
    for (auto it = valori.begin(); it != valori.end(); ++it) {
      if (UgualiSenzaMaiuscoleUtf8(it->nome, n)) {
        valori.erase(it);
        return true;
      }
    }
    return false;
  }
};

using Percorso = std::vector<std::string>;

Nodo* Trova(Nodo& radice, const Percorso& percorso, std::size_t quanti = SIZE_MAX) {
  Nodo* n = &radice;
  for (std::size_t i = 0; i < percorso.size() && i < quanti && n != nullptr; ++i) {
    n = n->Figlio(percorso[i]);
  }
  return n;
}

// A registry file as read: its tree, or why it cannot be used.
struct Alveare {
  Nodo radice;
  LSTATUS errore = ERROR_SUCCESS;  // the root cannot be used at all
  bool riscrivibile = true;        // false: parts could not be read, never overwrite
};

// ------------------------------------------------- process-wide state

struct Stato {
  std::mutex mutex;
  struct VoceHandle {
    std::size_t radice = 0;
    Percorso percorso;
    std::uint32_t accesso = 0;
  };
  std::unordered_map<HKEY, VoceHandle> handle;
  HKEY prossimo = kPrimoHandle;
  std::set<std::string> fileSegnalati;
  PortaSegnalazioniRegistro porta;
  OsservatoreScritturaRegistro osservatore;
};

Stato& S() {
  // Never destroyed: registry calls may come from other static destructors.
  static auto* stato = new Stato;
  return *stato;
}

// What one operation has to report once the registry lock is released.
struct Contesto {
  std::vector<SegnalazioneRegistro> segnalazioni;
};

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

void MostraSuStandardError(const SegnalazioneRegistro& s) {
  std::fprintf(stderr, "%s\n", s.descrizione.c_str());
}

// Runs one registry operation under the process's registry lock, turns any
// failure into an error code, and reports unusable files afterwards.
template <class Corpo>
LSTATUS Esegui(Corpo&& corpo) noexcept {
  Contesto c;
  LSTATUS r = ERROR_REGISTRY_IO_FAILED;
  try {
    const std::scoped_lock lock(S().mutex);
    r = corpo(c);
  } catch (const std::bad_alloc&) {
    r = ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::system_error& e) {
    r = e.code().category() == std::generic_category() ||
                e.code().category() == std::system_category()
            ? CodiceDaErrno(e.code().value())
            : ERROR_REGISTRY_IO_FAILED;
  } catch (const std::invalid_argument&) {
    r = ERROR_INVALID_PARAMETER;
  } catch (...) {
    r = ERROR_REGISTRY_IO_FAILED;
  }
  if (!c.segnalazioni.empty()) {
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
          MostraSuStandardError(s);
        }
      }
    } catch (...) {
      // A report that cannot be made must not change the operation's result.
    }
  }
  return r;
}

// ------------------------------------------------------------- folders

std::optional<std::string> Variabile(const char* nome) {
  const char* v = std::getenv(nome);
  if (v == nullptr || *v == '\0') return std::nullopt;
  return std::string(v);
}

std::filesystem::path FileRadice(std::size_t radice) {
  return CartellaRegistro() / (std::string(kNomiRadici.at(radice)) + ".reg");
}

// ------------------------------------------------------ paths and names

std::optional<std::size_t> IndiceRadice(HKEY h) {
  if (h >= HKEY_CLASSES_ROOT && h <= HKEY_DYN_DATA) return h - HKEY_CLASSES_ROOT;
  return std::nullopt;
}

HKEY HandleRadice(std::size_t indice) {
  return HKEY_CLASSES_ROOT + static_cast<HKEY>(indice);
}

// Splits a subkey path; a single trailing "\" is allowed, a leading one or
// an empty name between two is not.
LSTATUS DividiPercorso(std::string_view testo, Percorso& out) {
  out.clear();
  if (testo.empty()) return ERROR_SUCCESS;
  if (testo.front() == '\\') return ERROR_BAD_PATHNAME;
  if (testo.back() == '\\') testo.remove_suffix(1);
  std::size_t inizio = 0;
  while (true) {
    const std::size_t barra = testo.find('\\', inizio);
    const std::string_view nome = testo.substr(
        inizio, barra == std::string_view::npos ? std::string_view::npos : barra - inizio);
    if (nome.empty()) return ERROR_BAD_PATHNAME;
    out.emplace_back(nome);
    if (barra == std::string_view::npos) break;
    inizio = barra + 1;
  }
  return ERROR_SUCCESS;
}

bool NomeChiaveValido(std::string_view nome) {
  return !nome.empty() && nome.size() <= kNomeChiaveMassimo &&
         nome.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

bool NomeValoreValido(std::string_view nome) {
  return nome.size() <= kNomeValoreMassimo && nome.find('\0') == std::string_view::npos;
}

Percorso Unisci(const Percorso& a, const Percorso& b) {
  Percorso r = a;
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

// ------------------------------------------------------ reading a file

void Segnala(Contesto& c, const std::string& firma, SegnalazioneRegistro s) {
  // Once per state of the file: a file that is mended and breaks again is
  // reported again.
  if (S().fileSegnalati.insert(firma).second) c.segnalazioni.push_back(std::move(s));
}

void AggiungiChiaveAutostart(std::size_t radice, Nodo& albero) {
  if (!ChiaveAutostart(HandleRadice(radice), PercorsoChiaveAutostart())) return;
  Nodo* n = &albero;
  for (const auto& nome : PercorsoChiaveAutostart())
    n = &n->FiglioOCrea(nome, true);
}

// Applies the sections of a file to a tree, in order. Returns the problems
// of sections that do not belong to the root or name no key.
std::vector<ProblemaRegistro> ApplicaSezioni(std::size_t radice,
                                             const std::vector<SezioneFileRegistro>& sezioni,
                                             Nodo& albero) {
  std::vector<ProblemaRegistro> problemi;
  for (const auto& s : sezioni) {
    Percorso percorso;
    if (DividiPercorso(s.chiave, percorso) != ERROR_SUCCESS) {
      problemi.push_back({s.riga, "nome di chiave non valido"});
      continue;
    }
    if (!UgualiSenzaMaiuscoleUtf8(percorso.front(), kNomiRadici.at(radice))) {
      problemi.push_back({s.riga, "chiave di un'altra radice"});
      continue;
    }
    percorso.erase(percorso.begin());
    if (s.cancella) {
      if (percorso.empty()) {
        albero.valori.clear();
        albero.figli.clear();
      } else if (Nodo* padre = Trova(albero, percorso, percorso.size() - 1)) {
        padre->figli.erase(MaiuscoloPerConfrontoUtf8(percorso.back()));
      }
      continue;
    }
    Nodo* n = &albero;
    for (const auto& nome : percorso)
      n = &n->FiglioOCrea(nome, false);
    n->virtuale = false;
    for (const auto& v : s.valori) {
      if (v.cancella) {
        n->CancellaValore(v.nome);
      } else {
        n->ImpostaValore(v.nome, v.tipo, v.dati);
      }
    }
  }
  return problemi;
}

Alveare Carica(std::size_t radice, Contesto& c) {
  Alveare a;
  const std::filesystem::path file = FileRadice(radice);
  const LetturaFileRegistro l = LeggiFileRegistro(file, kFileMassimo);
  if (l.errore != 0) {
    a.errore = l.errore == EFBIG ? ERROR_BADDB : CodiceDaErrno(l.errore);
    Segnala(c, l.firma,
            {file, 0,
             "Impossibile leggere il file del registro \"" + file.string() +
                 "\": " + std::strerror(l.errore),
             a.errore});
    return a;
  }
  if (l.esiste && !l.contenuto.empty()) {
    const FileRegistro f = AnalizzaFileRegistro(l.contenuto);
    if (!f.riconosciuto) {
      a.errore = ERROR_BADDB;
      const ProblemaRegistro p = f.problemi.empty() ? ProblemaRegistro{} : f.problemi.front();
      Segnala(
          c, l.firma,
          {file, p.riga,
           "Il file del registro \"" + file.string() + "\" non è un file del registro (riga " +
               std::to_string(p.riga) + ": " + p.descrizione + "); il file non viene modificato",
           a.errore});
      return a;
    }
    std::vector<ProblemaRegistro> problemi = f.problemi;
    std::size_t numero = f.numeroProblemi;
    for (auto& p : ApplicaSezioni(radice, f.sezioni, a.radice)) {
      problemi.push_back(std::move(p));
      ++numero;
    }
    if (numero > 0) {
      a.riscrivibile = false;
      const auto primo = std::min_element(
          problemi.begin(), problemi.end(),
          [](const ProblemaRegistro& x, const ProblemaRegistro& y) { return x.riga < y.riga; });
      Segnala(c, l.firma,
              {file, primo->riga,
               "Il file del registro \"" + file.string() + "\" ha righe non valide (riga " +
                   std::to_string(primo->riga) + ": " + primo->descrizione + "; " +
                   std::to_string(numero) + (numero == 1 ? " riga" : " righe") +
                   " in tutto); le righe valide sono in uso, il file non viene modificato",
               ERROR_BADDB});
    }
  }
  AggiungiChiaveAutostart(radice, a.radice);
  return a;
}

// The sections of a tree, in the order the Windows editor writes them.
// `autostart` gives the values of the autostart key when the tree is
// exported (the file itself never holds them).
void Sezioni(const Nodo& n, std::size_t radice, Percorso& percorso, const std::string& prefisso,
             bool esportazione, std::vector<SezioneFileRegistro>& out) {
  std::vector<ValoreFileRegistro> valori;
  for (const auto& v : n.valori)
    valori.push_back({v.nome, v.tipo, v.dati, false});
  if (esportazione && ChiaveAutostart(HandleRadice(radice), percorso)) {
    valori.clear();
    for (const auto& voce : VociAutostartProprie(CartellaAutostart())) {
      std::string dati = voce.comando;
      dati += '\0';
      valori.push_back({voce.nome, REG_SZ, std::move(dati), false});
    }
  }
  const bool radiceAlbero = percorso.empty();
  if (!valori.empty() || (!radiceAlbero && !n.virtuale) || (esportazione && out.empty())) {
    SezioneFileRegistro s;
    s.chiave = prefisso;
    s.valori = std::move(valori);
    out.push_back(std::move(s));
  }
  for (const auto& [chiave, figlio] : n.figli) {
    percorso.push_back(figlio->nome);
    Sezioni(*figlio, radice, percorso, prefisso + "\\" + figlio->nome, esportazione, out);
    percorso.pop_back();
  }
}

void Salva(std::size_t radice, const Nodo& albero) {
  std::vector<SezioneFileRegistro> sezioni;
  Percorso percorso;
  Sezioni(albero, radice, percorso, std::string(kNomiRadici.at(radice)), false, sezioni);
  // Registry files may hold passwords: readable by their owner only.
  ScriviFileAtomico(FileRadice(radice), TestoFileRegistro(sezioni), 0600, S().osservatore);
}

// Changes one root under the folder lock: reads the file, lets `modifica`
// change the tree, writes the file back when something changed.
template <class Modifica>
LSTATUS ModificaRadice(std::size_t radice, Contesto& c, Modifica&& modifica) {
  const BloccoCartellaRegistro blocco(CartellaRegistro());
  RimuoviTemporaneiOrfani(FileRadice(radice));
  Alveare a = Carica(radice, c);
  if (a.errore != ERROR_SUCCESS) return a.errore;
  bool cambiato = false;
  const LSTATUS r = modifica(a.radice, cambiato);
  if (r != ERROR_SUCCESS || !cambiato) return r;
  if (!a.riscrivibile) return ERROR_BADDB;
  Salva(radice, a.radice);
  return ERROR_SUCCESS;
}

// ------------------------------------------------------------- handles

struct Riferimento {
  std::size_t radice = 0;
  Percorso percorso;
  std::uint32_t accesso = 0;
};

std::optional<Riferimento> Risolvi(HKEY h) {
  if (auto indice = IndiceRadice(h)) return Riferimento{*indice, {}, KEY_ALL_ACCESS};
  const auto it = S().handle.find(h);
  if (it == S().handle.end()) return std::nullopt;
  return Riferimento{it->second.radice, it->second.percorso, it->second.accesso};
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

// The key of a handle in a freshly read tree, or the code that says why not.
LSTATUS ChiaveDi(Alveare& a, const Riferimento& r, Nodo*& nodo) {
  if (a.errore != ERROR_SUCCESS) return a.errore;
  nodo = Trova(a.radice, r.percorso);
  return nodo == nullptr ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

LSTATUS LeggiValore(const Riferimento& r, std::string_view nome, Contesto& c, ValoreNodo& out) {
  if ((r.accesso & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  Alveare a = Carica(r.radice, c);
  Nodo* nodo = nullptr;
  if (const LSTATUS e = ChiaveDi(a, r, nodo); e != ERROR_SUCCESS) return e;
  if (ChiaveAutostart(HandleRadice(r.radice), r.percorso)) {
    const auto voce = TrovaVoceAutostart(CartellaAutostart(), nome);
    if (!voce) return ERROR_FILE_NOT_FOUND;
    out = {voce->nome, REG_SZ, voce->comando + '\0'};
    return ERROR_SUCCESS;
  }
  const ValoreNodo* v = nodo->Valore(nome);
  if (v == nullptr) return ERROR_FILE_NOT_FOUND;
  out = *v;
  return ERROR_SUCCESS;
}

// ------------------------------------------------------------- import

struct SezioneImportata {
  std::size_t radice = 0;
  Percorso percorso;
  const SezioneFileRegistro* sezione = nullptr;
};

void ControllaSezioni(const FileRegistro& f, std::vector<SezioneImportata>& sezioni,
                      std::vector<ProblemaRegistro>& problemi) {
  for (const auto& s : f.sezioni) {
    Percorso percorso;
    const bool diviso = DividiPercorso(s.chiave, percorso) == ERROR_SUCCESS;
    const HKEY radice = diviso ? RadiceRegistro(percorso.front()) : 0;
    if (radice == 0) {
      problemi.push_back({s.riga, "la chiave \"" + s.chiave + "\" non è sotto una radice nota"});
      continue;
    }
    percorso.erase(percorso.begin());
    if (!std::all_of(percorso.begin(), percorso.end(),
                     [](const std::string& n) { return NomeChiaveValido(n); })) {
      problemi.push_back({s.riga, "nome di chiave non valido"});
      continue;
    }
    const bool autostart = ChiaveAutostart(radice, percorso);
    for (const auto& v : s.valori) {
      if (!NomeValoreValido(v.nome)) {
        problemi.push_back({s.riga, "nome di valore non valido"});
      } else if (autostart && !v.cancella && v.tipo != REG_SZ) {
        problemi.push_back({s.riga, "una voce di avvio automatico può essere solo una stringa"});
      }
    }
    sezioni.push_back({*IndiceRadice(radice), std::move(percorso), &s});
  }
}

}  // namespace

// ------------------------------------------------------------------ API

HKEY RadiceRegistro(std::string_view nome) noexcept {
  for (std::size_t i = 0; i < kNomiRadici.size(); ++i) {
    if (UgualiSenzaMaiuscoleUtf8(nome, kNomiRadici.at(i))) return HandleRadice(i);
  }
  for (const auto& [breve, h] : kAbbreviazioni) {
    if (UgualiSenzaMaiuscoleUtf8(nome, breve)) return h;
  }
  return 0;
}

std::string_view NomeRadiceRegistro(HKEY radice) noexcept {
  const auto indice = IndiceRadice(radice);
  return indice ? kNomiRadici.at(*indice) : std::string_view{};
}

std::filesystem::path CartellaRegistro() {
  if (auto cartella = Variabile("ORVANE_REGISTRY")) return *cartella;
  return CartellaConfigurazioneUtente() / "orvane" / "registry";
}

std::filesystem::path CartellaAutostart() {
  return CartellaConfigurazioneUtente() / "autostart";
}

void ImpostaSegnalazioneRegistro(PortaSegnalazioniRegistro porta) {
  const std::scoped_lock lock(S().mutex);
  S().porta = std::move(porta);
}

void ImpostaOsservatoreScritturaRegistro(OsservatoreScritturaRegistro osservatore) {
  const std::scoped_lock lock(S().mutex);
  S().osservatore = std::move(osservatore);
}

LSTATUS RegOpenKeyEx(HKEY hKey, std::string_view sottochiave, std::uint32_t /*opzioni*/,
                     std::uint32_t accesso, HKEY& risultato) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    Percorso sotto;
    if (const LSTATUS e = DividiPercorso(sottochiave, sotto); e != ERROR_SUCCESS) return e;
    Alveare a = Carica(r->radice, c);
    Nodo* base = nullptr;
    if (const LSTATUS e = ChiaveDi(a, *r, base); e != ERROR_SUCCESS) return e;
    if (Trova(*base, sotto) == nullptr) return ERROR_FILE_NOT_FOUND;
    risultato = NuovoHandle(r->radice, Unisci(r->percorso, sotto), accesso);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCreateKeyEx(HKEY hKey, std::string_view sottochiave, std::uint32_t /*opzioni*/,
                       std::uint32_t accesso, HKEY& risultato,
                       std::uint32_t* disposizione) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    Percorso sotto;
    if (const LSTATUS e = DividiPercorso(sottochiave, sotto); e != ERROR_SUCCESS) return e;
    if (!std::all_of(sotto.begin(), sotto.end(),
                     [](const std::string& n) { return NomeChiaveValido(n); })) {
      return ERROR_INVALID_PARAMETER;
    }
    if (!sotto.empty() && (r->accesso & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    bool creata = false;
    const LSTATUS e = ModificaRadice(r->radice, c, [&](Nodo& albero, bool& cambiato) {
      Nodo* n = Trova(albero, r->percorso);
      if (n == nullptr) return ERROR_KEY_DELETED;
      for (const auto& nome : sotto)
        n = &n->FiglioReale(nome, creata, cambiato);
      return ERROR_SUCCESS;
    });
    if (e != ERROR_SUCCESS) return e;
    if (disposizione != nullptr) {
      *disposizione = creata ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    risultato = NuovoHandle(r->radice, Unisci(r->percorso, sotto), accesso);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegQueryValueEx(HKEY hKey, std::string_view nome, std::uint32_t* tipo, void* dati,
                        std::uint32_t* dimensione) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    if (dati != nullptr && dimensione == nullptr) return ERROR_INVALID_PARAMETER;
    ValoreNodo v;
    if (const LSTATUS e = LeggiValore(*r, nome, c, v); e != ERROR_SUCCESS) return e;
    if (tipo != nullptr) *tipo = v.tipo;
    const auto necessari = static_cast<std::uint32_t>(v.dati.size());
    if (dimensione == nullptr) return ERROR_SUCCESS;
    if (dati != nullptr && *dimensione < necessari) {
      *dimensione = necessari;
      return ERROR_MORE_DATA;
    }
    if (dati != nullptr && necessari > 0) std::memcpy(dati, v.dati.data(), necessari);
    *dimensione = necessari;
    return ERROR_SUCCESS;
  });
}

LSTATUS LeggiValoreRegistro(HKEY hKey, std::string_view nome, std::uint32_t& tipo,
                            std::string& dati) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    ValoreNodo v;
    if (const LSTATUS e = LeggiValore(*r, nome, c, v); e != ERROR_SUCCESS) return e;
    tipo = v.tipo;
    dati = std::move(v.dati);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegSetValueEx(HKEY hKey, std::string_view nome, std::uint32_t tipo, const void* dati,
                      std::uint32_t dimensione) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    if ((r->accesso & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (!NomeValoreValido(nome) || (dati == nullptr && dimensione > 0)) {
      return ERROR_INVALID_PARAMETER;
    }
    std::string byte(static_cast<const char*>(dati), dati == nullptr ? 0 : dimensione);
    if (ChiaveAutostart(HandleRadice(r->radice), r->percorso)) {
      if (tipo != REG_SZ) return ERROR_INVALID_PARAMETER;
      const BloccoCartellaRegistro blocco(CartellaRegistro());
      Alveare a = Carica(r->radice, c);
      Nodo* nodo = nullptr;
      if (const LSTATUS e = ChiaveDi(a, *r, nodo); e != ERROR_SUCCESS) return e;
      // The command is the text up to the terminating zero.
      ScriviVoceAutostart(CartellaAutostart(), nome, byte.substr(0, byte.find('\0')),
                          S().osservatore);
      return ERROR_SUCCESS;
    }
    return ModificaRadice(r->radice, c, [&](Nodo& albero, bool& cambiato) {
      Nodo* n = Trova(albero, r->percorso);
      if (n == nullptr) return ERROR_KEY_DELETED;
      cambiato = n->ImpostaValore(nome, tipo, std::move(byte));
      return ERROR_SUCCESS;
    });
  });
}

LSTATUS RegDeleteValue(HKEY hKey, std::string_view nome) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    if ((r->accesso & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (ChiaveAutostart(HandleRadice(r->radice), r->percorso)) {
      const BloccoCartellaRegistro blocco(CartellaRegistro());
      Alveare a = Carica(r->radice, c);
      Nodo* nodo = nullptr;
      if (const LSTATUS e = ChiaveDi(a, *r, nodo); e != ERROR_SUCCESS) return e;
      return CancellaVoceAutostart(CartellaAutostart(), nome);
    }
    return ModificaRadice(r->radice, c, [&](Nodo& albero, bool& cambiato) {
      Nodo* n = Trova(albero, r->percorso);
      if (n == nullptr) return ERROR_KEY_DELETED;
      cambiato = n->CancellaValore(nome);
      return cambiato ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
  });
}

LSTATUS RegDeleteKey(HKEY hKey, std::string_view sottochiave) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    Percorso sotto;
    if (const LSTATUS e = DividiPercorso(sottochiave, sotto); e != ERROR_SUCCESS) return e;
    const Percorso bersaglio = Unisci(r->percorso, sotto);
    if (bersaglio.empty()) return ERROR_ACCESS_DENIED;
    if (ChiaveAutostart(HandleRadice(r->radice), bersaglio)) return ERROR_ACCESS_DENIED;
    return ModificaRadice(r->radice, c, [&](Nodo& albero, bool& cambiato) {
      if (Trova(albero, r->percorso) == nullptr) return ERROR_KEY_DELETED;
      Nodo* padre = Trova(albero, bersaglio, bersaglio.size() - 1);
      Nodo* n = padre == nullptr ? nullptr : padre->Figlio(bersaglio.back());
      if (n == nullptr) return ERROR_FILE_NOT_FOUND;
      if (!n->figli.empty()) return ERROR_ACCESS_DENIED;
      padre->figli.erase(MaiuscoloPerConfrontoUtf8(bersaglio.back()));
      cambiato = true;
      return ERROR_SUCCESS;
    });
  });
}

LSTATUS RegDeleteTree(HKEY hKey, std::string_view sottochiave) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    Percorso sotto;
    if (const LSTATUS e = DividiPercorso(sottochiave, sotto); e != ERROR_SUCCESS) return e;
    const Percorso bersaglio = Unisci(r->percorso, sotto);
    return ModificaRadice(r->radice, c, [&](Nodo& albero, bool& cambiato) {
      if (Trova(albero, r->percorso) == nullptr) return ERROR_KEY_DELETED;
      Nodo* n = Trova(albero, bersaglio);
      if (n == nullptr) return ERROR_FILE_NOT_FOUND;
      if (sotto.empty()) {
        cambiato = !n->valori.empty() || !n->figli.empty();
        n->valori.clear();
        n->figli.clear();
      } else {
        Trova(albero, bersaglio, bersaglio.size() - 1)
            ->figli.erase(MaiuscoloPerConfrontoUtf8(bersaglio.back()));
        cambiato = true;
      }
      return ERROR_SUCCESS;
    });
  });
}

LSTATUS RegEnumKeyEx(HKEY hKey, std::uint32_t indice, std::string& nome) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    if ((r->accesso & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
    Alveare a = Carica(r->radice, c);
    Nodo* n = nullptr;
    if (const LSTATUS e = ChiaveDi(a, *r, n); e != ERROR_SUCCESS) return e;
    if (indice >= n->figli.size()) return ERROR_NO_MORE_ITEMS;
    auto it = n->figli.begin();
    std::advance(it, indice);
    nome = it->second->nome;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegEnumValue(HKEY hKey, std::uint32_t indice, std::string& nome, std::uint32_t* tipo,
                     std::string* dati) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    if ((r->accesso & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    Alveare a = Carica(r->radice, c);
    Nodo* n = nullptr;
    if (const LSTATUS e = ChiaveDi(a, *r, n); e != ERROR_SUCCESS) return e;
    ValoreNodo v;
    if (ChiaveAutostart(HandleRadice(r->radice), r->percorso)) {
      const auto voci = VociAutostartProprie(CartellaAutostart());
      if (indice >= voci.size()) return ERROR_NO_MORE_ITEMS;
      v = {voci[indice].nome, REG_SZ, voci[indice].comando + '\0'};
    } else {
      if (indice >= n->valori.size()) return ERROR_NO_MORE_ITEMS;
      v = n->valori[indice];
    }
    nome = v.nome;
    if (tipo != nullptr) *tipo = v.tipo;
    if (dati != nullptr) *dati = std::move(v.dati);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCloseKey(HKEY hKey) noexcept {
  return Esegui([&](Contesto&) -> LSTATUS {
    if (IndiceRadice(hKey)) return ERROR_SUCCESS;
    return S().handle.erase(hKey) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
  });
}

LSTATUS EsportaRegistro(HKEY hKey, std::string_view sottochiave, std::string& testo) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    Percorso sotto;
    if (const LSTATUS e = DividiPercorso(sottochiave, sotto); e != ERROR_SUCCESS) return e;
    Alveare a = Carica(r->radice, c);
    Nodo* base = nullptr;
    if (const LSTATUS e = ChiaveDi(a, *r, base); e != ERROR_SUCCESS) return e;
    // The key's own spelling, from the root down.
    Percorso percorso;
    std::string prefisso(kNomiRadici.at(r->radice));
    Nodo* n = &a.radice;
    for (const auto& nome : Unisci(r->percorso, sotto)) {
      n = n->Figlio(nome);
      if (n == nullptr) return ERROR_FILE_NOT_FOUND;
      percorso.push_back(n->nome);
      prefisso += "\\" + n->nome;
    }
    std::vector<SezioneFileRegistro> sezioni;
    Sezioni(*n, r->radice, percorso, prefisso, true, sezioni);
    testo = TestoFileRegistro(sezioni);
    return ERROR_SUCCESS;
  });
}

LSTATUS ImportaRegistro(std::string_view testo, std::vector<ProblemaRegistro>& problemi) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    problemi.clear();
    const FileRegistro f = AnalizzaFileRegistro(testo);
    problemi = f.problemi;
    std::vector<SezioneImportata> sezioni;
    ControllaSezioni(f, sezioni, problemi);
    if (!f.riconosciuto || !problemi.empty()) return ERROR_BADDB;

    const BloccoCartellaRegistro blocco(CartellaRegistro());
    // Every root is read and changed in memory first; files are written
    // only when all of them can be.
    std::map<std::size_t, Alveare> alveari;
    std::map<std::size_t, bool> cambiati;
    std::vector<std::pair<std::string, std::optional<std::string>>> autostart;
    for (const auto& s : sezioni) {
      if (!alveari.contains(s.radice)) {
        RimuoviTemporaneiOrfani(FileRadice(s.radice));
        alveari.emplace(s.radice, Carica(s.radice, c));
      }
      Alveare& a = alveari.at(s.radice);
      if (a.errore != ERROR_SUCCESS) return a.errore;
      Nodo& albero = a.radice;
      if (s.sezione->cancella) {
        if (s.percorso.empty()) {
          albero.valori.clear();
          albero.figli.clear();
        } else if (Nodo* padre = Trova(albero, s.percorso, s.percorso.size() - 1)) {
          padre->figli.erase(MaiuscoloPerConfrontoUtf8(s.percorso.back()));
        }
        AggiungiChiaveAutostart(s.radice, albero);
        cambiati[s.radice] = true;
        continue;
      }
      bool creata = false;
      bool cambiato = false;
      Nodo* n = &albero;
      for (const auto& nome : s.percorso)
        n = &n->FiglioReale(nome, creata, cambiato);
      const bool diAutostart = ChiaveAutostart(HandleRadice(s.radice), s.percorso);
      for (const auto& v : s.sezione->valori) {
        if (diAutostart) {
          autostart.emplace_back(
              v.nome, v.cancella ? std::nullopt
                                 : std::optional<std::string>(v.dati.substr(0, v.dati.find('\0'))));
        } else if (v.cancella) {
          cambiato = n->CancellaValore(v.nome) || cambiato;
        } else {
          cambiato = n->ImpostaValore(v.nome, v.tipo, v.dati) || cambiato;
        }
      }
      if (cambiato) cambiati[s.radice] = true;
    }
    for (const auto& [radice, cambiato] : cambiati) {
      if (cambiato && !alveari.at(radice).riscrivibile) return ERROR_BADDB;
    }
    for (const auto& [radice, cambiato] : cambiati) {
      if (cambiato) Salva(radice, alveari.at(radice).radice);
    }
    for (const auto& [nome, comando] : autostart) {
      if (comando) {
        ScriviVoceAutostart(CartellaAutostart(), nome, *comando, S().osservatore);
      } else {
        (void)CancellaVoceAutostart(CartellaAutostart(), nome);
      }
    }
    return ERROR_SUCCESS;
  });
}

}  // namespace platform
