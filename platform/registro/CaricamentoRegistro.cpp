#include "CaricamentoRegistro.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "RegistroAutostart.h"
#include "RegistroFile.h"
#include "StratoWine.h"
#include "platform/RegistroFormato.h"
#include "platform/TestoUtf8.h"

namespace platform::registro {
namespace {

// Larger registry files are not read (nor ever rewritten).
constexpr std::size_t kFileMassimo = 64U << 20U;

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
        padre->CancellaFiglio(percorso.back());
      }
      continue;
    }
    Nodo* n = &albero;
    for (const auto& nome : percorso)
      n = &n->FiglioOCrea(nome, false);
    n->virtuale = false;
    ApplicaValori(*n, s.valori);
  }
  return problemi;
}

}  // namespace

void AggiungiChiaveAutostart(std::size_t radice, Nodo& albero) {
  if (!ChiaveAutostart(HandleRadice(radice), PercorsoChiaveAutostart())) return;
  Nodo* n = &albero;
  for (const auto& nome : PercorsoChiaveAutostart())
    n = &n->FiglioOCrea(nome, true);
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

LSTATUS ApriChiave(HKEY h, std::string_view sottochiave, std::uint32_t accesso, Contesto& c,
                   ChiaveAperta& out, bool profondo) {
  const auto r = Risolvi(h);
  if (!r) return ERROR_INVALID_HANDLE;
  return ApriChiave(*r, sottochiave, accesso, c, out, profondo);
}

LSTATUS ApriChiave(const Riferimento& r, std::string_view sottochiave, std::uint32_t accesso,
                   Contesto& c, ChiaveAperta& out, bool profondo) {
  if ((r.accesso & accesso) != accesso) return ERROR_ACCESS_DENIED;
  Percorso sotto;
  // As deep as the Wine prefix's keys go: the store's own are shallower.
  if (const LSTATUS e = DividiPercorso(sottochiave, sotto, kProfonditaWine); e != ERROR_SUCCESS)
    return e;
  out.alveare = Carica(r.radice, c);
  if (out.alveare.errore != ERROR_SUCCESS) return out.alveare.errore;
  out.wine = AlberoWine(r.radice, c);
  if (Trova(out.alveare.radice, r.percorso) == nullptr && NodoWine(out.wine, r.percorso) == nullptr)
    return ERROR_KEY_DELETED;
  const Percorso percorso = Unisci(r.percorso, sotto);
  Nodo* proprio = Trova(out.alveare.radice, percorso);
  const Nodo* wine = NodoWine(out.wine, percorso);
  if (proprio == nullptr && wine == nullptr) return ERROR_FILE_NOT_FOUND;
  if (wine == nullptr) {
    out.nodo = proprio;
  } else {
    // An export goes no deeper than the store's files (SalvataggioRegistro),
    // nor does the recursion over a prefix's keys, which may be thousands
    // of levels deep.
    const std::size_t livelli = profondo && percorso.size() < kProfonditaMassima
                                    ? kProfonditaMassima - 1 - percorso.size()
                                    : 0;
    Sovrapponi(wine, proprio, livelli, out.vista);
    out.nodo = &out.vista;
  }
  // The spelling of each name: the store's where it has the key. The key
  // was found above, so one of the two trees has every name on its path;
  // the name as asked would stand in for one that neither had.
  const Nodo* p = &out.alveare.radice;
  const Nodo* w = out.wine.get();
  out.nomi.clear();
  for (const auto& nome : percorso) {
    p = p == nullptr ? nullptr : p->Figlio(nome);
    w = w == nullptr ? nullptr : w->Figlio(nome);
    out.nomi.push_back(p != nullptr ? p->nome : w != nullptr ? w->nome : nome);
  }
  out.chiave = {r.radice, percorso, r.accesso};
  return ERROR_SUCCESS;
}

}  // namespace platform::registro
