// The registry's entry points. Each runs under the process's registry lock
// (Esegui), opens its key through ApriChiave and reaches the key's values
// through ValoriDi, wherever they live.

#include "platform/Registro.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AlberoRegistro.h"
#include "CaricamentoRegistro.h"
#include "ManiglieRegistro.h"
#include "RegistroAutostart.h"
#include "SalvataggioRegistro.h"
#include "StratoWine.h"
#include "ValoriChiave.h"
#include "platform/Percorsi.h"
#include "platform/RegistroFormato.h"
#include "platform/TestoUtf8.h"

namespace platform {
namespace {

using registro::ApriChiave;
using registro::ChiaveAperta;
using registro::Contesto;
using registro::Esegui;
using registro::kNomiRadici;
using registro::Nodo;
using registro::Percorso;
using registro::Trova;
using registro::ValoreNodo;
using registro::ValoriDi;

constexpr std::array<std::pair<std::string_view, HKEY>, 5> kAbbreviazioni{{
    {"HKCR", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},
    {"HKCC", HKEY_CURRENT_CONFIG},
}};

LSTATUS LeggiValore(HKEY h, std::string_view nome, Contesto& c, ValoreNodo& out) {
  ChiaveAperta k;
  if (const LSTATUS e = ApriChiave(h, {}, KEY_QUERY_VALUE, c, k); e != ERROR_SUCCESS) return e;
  return ValoriDi(k.chiave.radice, k.chiave.percorso).Leggi(*k.nodo, nome, out);
}

// Whether the Wine prefix below the store holds the key: the store never
// changes the prefix, so such a key cannot be deleted.
bool NelPrefisso(std::size_t radice, const Percorso& percorso, Contesto& c) {
  return registro::NodoWine(registro::AlberoWine(radice, c), percorso) != nullptr;
}

// `sottochiave` split into its names, each one a valid key name.
LSTATUS DividiSottochiave(std::string_view sottochiave, Percorso& sotto) {
  if (const LSTATUS e = registro::DividiPercorso(sottochiave, sotto); e != ERROR_SUCCESS) return e;
  const bool validi = std::all_of(sotto.begin(), sotto.end(), [](const std::string& n) {
    return registro::NomeChiaveValido(n);
  });
  return validi ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

// The key `sotto` below the key of `r` in the root's tree `albero`, made
// with the keys above it where missing (`creata` says whether the last
// was), in `n`.
LSTATUS CreaSottochiave(Nodo& albero, const registro::Riferimento& r, const Percorso& sotto,
                        Contesto& c, bool& creata, bool& cambiato, Nodo*& n) {
  // Below a handle to a deep key of the Wine prefix the path may go beyond
  // what the store's files hold.
  if (r.percorso.size() + sotto.size() >= registro::kProfonditaMassima) return ERROR_BAD_PATHNAME;
  if (const LSTATUS e = registro::TrovaOCopia(albero, r.radice, r.percorso, c, cambiato, n);
      e != ERROR_SUCCESS) {
    return e;
  }
  for (const auto& nome : sotto)
    n = &n->FiglioReale(nome, creata, cambiato);
  return ERROR_SUCCESS;
}

}  // namespace

HKEY RadiceRegistro(std::string_view nome) noexcept {
  for (std::size_t i = 0; i < kNomiRadici.size(); ++i) {
    if (UgualiSenzaMaiuscoleUtf8(nome, kNomiRadici.at(i))) return registro::HandleRadice(i);
  }
  for (const auto& [breve, h] : kAbbreviazioni) {
    if (UgualiSenzaMaiuscoleUtf8(nome, breve)) return h;
  }
  return 0;
}

std::string_view NomeRadiceRegistro(HKEY radice) noexcept {
  const auto indice = registro::IndiceRadice(radice);
  return indice ? kNomiRadici.at(*indice) : std::string_view{};
}

std::filesystem::path CartellaRegistro() {
  if (auto cartella = CartellaDaVariabile("ORVANE_REGISTRY")) return *cartella;
  return CartellaConfigurazioneUtente() / "orvane" / "registry";
}

std::filesystem::path CartellaAutostart() {
  return CartellaConfigurazioneUtente() / "autostart";
}

PortaSegnalazioniRegistro ImpostaSegnalazioneRegistro(PortaSegnalazioniRegistro porta) {
  const std::scoped_lock lock(registro::S().mutex);
  std::swap(registro::S().porta, porta);
  return porta;
}

LSTATUS RegOpenKeyEx(HKEY hKey, std::string_view sottochiave, std::uint32_t /*opzioni*/,
                     std::uint32_t accesso, HKEY& risultato) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    ChiaveAperta k;
    if (const LSTATUS e = ApriChiave(hKey, sottochiave, 0, c, k); e != ERROR_SUCCESS) return e;
    risultato = registro::NuovoHandle(k.chiave.radice, std::move(k.chiave.percorso), accesso);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCreateKeyEx(HKEY hKey, std::string_view sottochiave, std::uint32_t /*opzioni*/,
                       std::uint32_t accesso, HKEY& risultato,
                       std::uint32_t* disposizione) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = registro::Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    Percorso sotto;
    if (const LSTATUS e = DividiSottochiave(sottochiave, sotto); e != ERROR_SUCCESS) return e;
    if (!sotto.empty() && (r->accesso & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    bool creata = false;
    const LSTATUS e = registro::ModificaRadice(r->radice, c, [&](Nodo& albero, bool& cambiato) {
      Nodo* n = nullptr;
      return CreaSottochiave(albero, *r, sotto, c, creata, cambiato, n);
    });
    if (e != ERROR_SUCCESS) return e;
    if (disposizione != nullptr) {
      *disposizione = creata ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    risultato = registro::NuovoHandle(r->radice, registro::Unisci(r->percorso, sotto), accesso);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegQueryValueEx(HKEY hKey, std::string_view nome, std::uint32_t* tipo, void* dati,
                        std::uint32_t* dimensione) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    if (!registro::Risolvi(hKey)) return ERROR_INVALID_HANDLE;
    if (dati != nullptr && dimensione == nullptr) return ERROR_INVALID_PARAMETER;
    ValoreNodo v;
    if (const LSTATUS e = LeggiValore(hKey, nome, c, v); e != ERROR_SUCCESS) return e;
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
    ValoreNodo v;
    if (const LSTATUS e = LeggiValore(hKey, nome, c, v); e != ERROR_SUCCESS) return e;
    tipo = v.tipo;
    dati = std::move(v.dati);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegSetValueEx(HKEY hKey, std::string_view nome, std::uint32_t tipo, const void* dati,
                      std::uint32_t dimensione) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = registro::Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    if ((r->accesso & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (!registro::NomeValoreValido(nome) || (dati == nullptr && dimensione > 0)) {
      return ERROR_INVALID_PARAMETER;
    }
    std::string byte(static_cast<const char*>(dati), dati == nullptr ? 0 : dimensione);
    return ValoriDi(r->radice, r->percorso).Imposta(*r, nome, tipo, std::move(byte), c);
  });
}

LSTATUS RegImpostaTesti(HKEY hKey, std::span<const VoceTestoRegistro> voci) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = registro::Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    if ((r->accesso & KEY_SET_VALUE) == 0 || (r->accesso & KEY_CREATE_SUB_KEY) == 0)
      return ERROR_ACCESS_DENIED;
    // Every entry checked before the file is touched.
    std::vector<Percorso> percorsi(voci.size());
    for (std::size_t i = 0; i < voci.size(); ++i) {
      if (const LSTATUS e = DividiSottochiave(voci[i].chiave, percorsi[i]); e != ERROR_SUCCESS)
        return e;
      if ((!voci[i].soloChiave && !registro::NomeValoreValido(voci[i].nome)) ||
          ChiaveAutostart(registro::HandleRadice(r->radice),
                          registro::Unisci(r->percorso, percorsi[i]))) {
        return ERROR_INVALID_PARAMETER;
      }
    }
    return registro::ModificaRadice(r->radice, c, [&](Nodo& albero, bool& cambiato) {
      for (std::size_t i = 0; i < voci.size(); ++i) {
        bool creata = false;
        Nodo* n = nullptr;
        if (const LSTATUS e = CreaSottochiave(albero, *r, percorsi[i], c, creata, cambiato, n);
            e != ERROR_SUCCESS) {
          return e;
        }
        if (voci[i].soloChiave) continue;
        std::string dati(voci[i].testo);
        dati += '\0';
        cambiato = n->ImpostaValore(voci[i].nome, REG_SZ, std::move(dati)) || cambiato;
      }
      return ERROR_SUCCESS;
    });
  });
}

LSTATUS RegDeleteValue(HKEY hKey, std::string_view nome) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = registro::Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    if ((r->accesso & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    return ValoriDi(r->radice, r->percorso).Cancella(*r, nome, c);
  });
}

LSTATUS RegDeleteKey(HKEY hKey, std::string_view sottochiave) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = registro::Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    Percorso sotto;
    if (const LSTATUS e = registro::DividiPercorso(sottochiave, sotto); e != ERROR_SUCCESS) {
      return e;
    }
    const Percorso bersaglio = registro::Unisci(r->percorso, sotto);
    if (bersaglio.empty()) return ERROR_ACCESS_DENIED;
    if (!ValoriDi(r->radice, bersaglio).ChiaveCancellabile() ||
        NelPrefisso(r->radice, bersaglio, c)) {
      return ERROR_ACCESS_DENIED;
    }
    return registro::ModificaRadice(r->radice, c, [&](Nodo& albero, bool& cambiato) {
      if (Trova(albero, r->percorso) == nullptr) return ERROR_KEY_DELETED;
      Nodo* padre = Trova(albero, bersaglio, bersaglio.size() - 1);
      Nodo* n = padre == nullptr ? nullptr : padre->Figlio(bersaglio.back());
      if (n == nullptr) return ERROR_FILE_NOT_FOUND;
      if (!n->figli.empty()) return ERROR_ACCESS_DENIED;
      padre->CancellaFiglio(bersaglio.back());
      cambiato = true;
      return ERROR_SUCCESS;
    });
  });
}

LSTATUS RegDeleteTree(HKEY hKey, std::string_view sottochiave) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    const auto r = registro::Risolvi(hKey);
    if (!r) return ERROR_INVALID_HANDLE;
    Percorso sotto;
    if (const LSTATUS e = registro::DividiPercorso(sottochiave, sotto); e != ERROR_SUCCESS) {
      return e;
    }
    const Percorso bersaglio = registro::Unisci(r->percorso, sotto);
    if (NelPrefisso(r->radice, bersaglio, c)) return ERROR_ACCESS_DENIED;
    return registro::ModificaRadice(r->radice, c, [&](Nodo& albero, bool& cambiato) {
      if (Trova(albero, r->percorso) == nullptr) return ERROR_KEY_DELETED;
      Nodo* n = Trova(albero, bersaglio);
      if (n == nullptr) return ERROR_FILE_NOT_FOUND;
      if (sotto.empty()) {
        cambiato = !n->valori.empty() || !n->figli.empty();
        n->valori.clear();
        n->figli.clear();
      } else {
        Trova(albero, bersaglio, bersaglio.size() - 1)->CancellaFiglio(bersaglio.back());
        cambiato = true;
      }
      return ERROR_SUCCESS;
    });
  });
}

LSTATUS RegEnumKeyEx(HKEY hKey, std::uint32_t indice, std::string& nome) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    ChiaveAperta k;
    if (const LSTATUS e = ApriChiave(hKey, {}, KEY_ENUMERATE_SUB_KEYS, c, k); e != ERROR_SUCCESS) {
      return e;
    }
    if (indice >= k.nodo->figli.size()) return ERROR_NO_MORE_ITEMS;
    auto it = k.nodo->figli.begin();
    std::advance(it, indice);
    nome = it->second->nome;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegEnumValue(HKEY hKey, std::uint32_t indice, std::string& nome, std::uint32_t* tipo,
                     std::string* dati) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    ChiaveAperta k;
    if (const LSTATUS e = ApriChiave(hKey, {}, KEY_QUERY_VALUE, c, k); e != ERROR_SUCCESS) return e;
    ValoreNodo v;
    const LSTATUS e = ValoriDi(k.chiave.radice, k.chiave.percorso).Elenca(*k.nodo, indice, v);
    if (e != ERROR_SUCCESS) return e;
    nome = v.nome;
    if (tipo != nullptr) *tipo = v.tipo;
    if (dati != nullptr) *dati = std::move(v.dati);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCloseKey(HKEY hKey) noexcept {
  return Esegui([&](Contesto&) -> LSTATUS { return registro::ChiudiHandle(hKey); });
}

LSTATUS OrigineValore(HKEY hKey, std::string_view nome, OrigineValoreRegistro& origine) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    ChiaveAperta k;
    if (const LSTATUS e = ApriChiave(hKey, {}, KEY_QUERY_VALUE, c, k); e != ERROR_SUCCESS) return e;
    const std::size_t radice = k.chiave.radice;
    ValoreNodo v;
    if (const LSTATUS e = ValoriDi(radice, k.chiave.percorso).Leggi(*k.nodo, nome, v);
        e != ERROR_SUCCESS) {
      return e;
    }
    if (ChiaveAutostart(registro::HandleRadice(radice), k.chiave.percorso)) {
      origine = {false, CartellaAutostart()};
      return ERROR_SUCCESS;
    }
    const Nodo* proprio = Trova(k.alveare.radice, k.chiave.percorso);
    const bool wine = proprio == nullptr || proprio->Valore(nome) == nullptr;
    origine = {wine, wine ? *registro::FileWine(radice) : registro::FileRadice(radice)};
    return ERROR_SUCCESS;
  });
}

LSTATUS EsportaRegistro(HKEY hKey, std::string_view sottochiave, std::string& testo) noexcept {
  return Esegui([&](Contesto& c) -> LSTATUS {
    ChiaveAperta k;
    if (const LSTATUS e = ApriChiave(hKey, sottochiave, 0, c, k, true); e != ERROR_SUCCESS) {
      return e;
    }
    // The key's own spelling, from the root down.
    Percorso percorso = k.nomi;
    if (!registro::ChiaveConservabile(percorso)) return ERROR_ACCESS_DENIED;
    std::string prefisso(kNomiRadici.at(k.chiave.radice));
    for (const auto& nome : percorso)
      prefisso += "\\" + nome;
    std::vector<SezioneFileRegistro> sezioni;
    registro::Sezioni(*k.nodo, k.chiave.radice, percorso, prefisso, true, sezioni);
    testo = TestoFileRegistro(sezioni);
    return ERROR_SUCCESS;
  });
}

}  // namespace platform
