// The Wine prefix below the store: its registry files read, never written.

#include "StratoWine.h"

#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "RegistroFile.h"
#include "platform/PrefissoWine.h"
#include "platform/RegistroWineFormato.h"
#include "platform/TestoUtf8.h"

namespace platform::registro {
namespace {

// Larger files are not read.
constexpr std::size_t kFileMassimo = 64U << 20U;

struct AlberoLetto {
  std::string firma;
  std::shared_ptr<const Nodo> albero;
};

// The trees read so far, by file; guarded by the registry lock.
std::map<std::string, AlberoLetto>& Letti() {
  static auto* letti = new std::map<std::string, AlberoLetto>;
  return *letti;
}

std::shared_ptr<const Nodo> Leggi(const std::filesystem::path& file, Contesto& c,
                                  std::string& firma) {
  const LetturaFileRegistro l = LeggiFileRegistro(file, kFileMassimo);
  firma = l.firma;
  const std::string avviso = "; Tervan lo considera vuoto e non lo modifica";
  if (l.errore != 0) {
    Segnala(c, "wine:" + l.firma,
            {file, 0,
             "Impossibile leggere il file del registro di Wine \"" + file.string() +
                 "\": " + std::strerror(l.errore) + avviso,
             ERROR_BADDB});
    return nullptr;
  }
  if (!l.esiste) return nullptr;
  const FileRegistro f = AnalizzaFileRegistroWine(l.contenuto);
  const ProblemaRegistro p = f.problemi.empty() ? ProblemaRegistro{} : f.problemi.front();
  if (!f.riconosciuto) {
    Segnala(c, "wine:" + l.firma,
            {file, p.riga,
             "Il file del registro di Wine \"" + file.string() + "\" non è valido (riga " +
                 std::to_string(p.riga) + ": " + p.descrizione + ")" + avviso,
             ERROR_BADDB});
    return nullptr;
  }
  if (f.numeroProblemi > 0) {
    Segnala(c, "wine:" + l.firma,
            {file, p.riga,
             "Il file del registro di Wine \"" + file.string() + "\" ha righe non valide (riga " +
                 std::to_string(p.riga) + ": " + p.descrizione + "; " +
                 std::to_string(f.numeroProblemi) + (f.numeroProblemi == 1 ? " riga" : " righe") +
                 " in tutto); Tervan le salta e usa le altre",
             ERROR_BADDB});
  }
  auto albero = std::make_shared<Nodo>();
  for (const auto& s : f.sezioni) {
    Percorso percorso;
    (void)DividiPercorso(s.chiave, percorso, kProfonditaWine);  // checked by the reader
    Nodo* n = albero.get();
    for (const auto& nome : percorso)
      n = &n->FiglioOCrea(nome, false);
    ApplicaValori(*n, s.valori);
  }
  return albero;
}

}  // namespace

std::optional<std::filesystem::path> FileWine(std::size_t radice) {
  const HKEY h = HandleRadice(radice);
  if (h != HKEY_CURRENT_USER && h != HKEY_LOCAL_MACHINE) return std::nullopt;
  const auto prefisso = PrefissoWine();
  if (!prefisso) return std::nullopt;
  return *prefisso / (h == HKEY_CURRENT_USER ? "user.reg" : "system.reg");
}

std::shared_ptr<const Nodo> AlberoWine(std::size_t radice, Contesto& c) {
  const auto file = FileWine(radice);
  if (!file) return nullptr;
  AlberoLetto& letto = Letti()[file->string()];
  const std::string firma = FirmaFileRegistro(*file);
  if (firma.empty()) return nullptr;
  if (firma != letto.firma) {
    // Wine replaces its files whole: a file read in the middle of being
    // replaced is read again at the next operation.
    std::string lettaOra;
    auto albero = Leggi(*file, c, lettaOra);
    letto = {lettaOra == firma ? firma : std::string(), std::move(albero)};
  }
  return letto.albero;
}

void Sovrapponi(const Nodo* sotto, const Nodo* sopra, std::size_t livelli, Nodo& out) {
  out.nome = sopra != nullptr ? sopra->nome : sotto->nome;
  out.valori.clear();
  out.figli.clear();
  if (sotto != nullptr) out.valori = sotto->valori;
  if (sopra != nullptr) {
    for (const auto& v : sopra->valori) {
      out.CancellaValore(v.nome);
      out.valori.push_back(v);
    }
  }
  const auto aggiungi = [&](const Nodo& figlio) {
    const Nodo* s = sotto == nullptr ? nullptr : sotto->Figlio(figlio.nome);
    const Nodo* o = sopra == nullptr ? nullptr : sopra->Figlio(figlio.nome);
    auto& posto = out.figli[MaiuscoloPerConfrontoUtf8(figlio.nome)];
    if (posto) return;
    posto = std::make_unique<Nodo>();
    if (livelli > 0) {
      Sovrapponi(s, o, livelli - 1, *posto);
    } else {
      posto->nome = o != nullptr ? o->nome : s->nome;
    }
    posto->virtuale = s == nullptr && o->virtuale;
  };
  if (sopra != nullptr) {
    for (const auto& [chiave, figlio] : sopra->figli)
      aggiungi(*figlio);
  }
  if (sotto != nullptr) {
    for (const auto& [chiave, figlio] : sotto->figli)
      aggiungi(*figlio);
  }
}

LSTATUS TrovaOCopia(Nodo& albero, std::size_t radice, const Percorso& percorso, Contesto& c,
                    bool& cambiato, Nodo*& out) {
  out = Trova(albero, percorso);
  if (out != nullptr) return ERROR_SUCCESS;
  const auto wine = AlberoWine(radice, c);
  if (NodoWine(wine, percorso) == nullptr) return ERROR_KEY_DELETED;
  Percorso nomi;
  const Nodo* w = wine.get();
  for (const auto& nome : percorso) {
    w = w == nullptr ? nullptr : w->Figlio(nome);
    nomi.push_back(w != nullptr ? w->nome : nome);
  }
  // Wine takes names and depths that the store's files cannot hold: such a
  // key stays the prefix's, read only.
  if (!ChiaveConservabile(nomi)) return ERROR_ACCESS_DENIED;
  out = &albero;
  for (const auto& nome : nomi) {
    bool creato = false;
    out = &out->FiglioReale(nome, creato, cambiato);
  }
  return ERROR_SUCCESS;
}

const Nodo* NodoWine(const std::shared_ptr<const Nodo>& albero, const Percorso& percorso) {
  return albero ? Trova(*albero, percorso) : nullptr;
}

}  // namespace platform::registro
