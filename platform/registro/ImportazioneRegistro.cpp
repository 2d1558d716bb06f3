// Importing a registry file: every section is checked first, every root is
// changed in memory, and files are written only when all of them can be.

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AlberoRegistro.h"
#include "CaricamentoRegistro.h"
#include "ManiglieRegistro.h"
#include "RegistroAutostart.h"
#include "RegistroFile.h"
#include "SalvataggioRegistro.h"
#include "platform/FileAtomico.h"
#include "platform/Registro.h"
#include "platform/RegistroFormato.h"

namespace platform {
namespace {

using registro::Alveare;
using registro::Nodo;
using registro::Percorso;

struct SezioneImportata {
  std::size_t radice = 0;
  Percorso percorso;
  const SezioneFileRegistro* sezione = nullptr;
};

void ControllaSezioni(const FileRegistro& f, std::vector<SezioneImportata>& sezioni,
                      std::vector<ProblemaRegistro>& problemi) {
  for (const auto& s : f.sezioni) {
    Percorso percorso;
    const bool diviso = registro::DividiPercorso(s.chiave, percorso) == ERROR_SUCCESS;
    const HKEY radice = diviso ? RadiceRegistro(percorso.front()) : 0;
    if (radice == 0) {
      problemi.push_back({s.riga, "la chiave \"" + s.chiave + "\" non è sotto una radice nota"});
      continue;
    }
    percorso.erase(percorso.begin());
    if (!std::all_of(percorso.begin(), percorso.end(),
                     [](const std::string& n) { return registro::NomeChiaveValido(n); })) {
      problemi.push_back({s.riga, "nome di chiave non valido"});
      continue;
    }
    const bool autostart = ChiaveAutostart(radice, percorso);
    for (const auto& v : s.valori) {
      if (!registro::NomeValoreValido(v.nome)) {
        problemi.push_back({s.riga, "nome di valore non valido"});
      } else if (autostart && !v.cancella && v.tipo != REG_SZ) {
        problemi.push_back({s.riga, "una voce di avvio automatico può essere solo una stringa"});
      }
    }
    sezioni.push_back({*registro::IndiceRadice(radice), std::move(percorso), &s});
  }
}

}  // namespace

LSTATUS ImportaRegistro(std::string_view testo, std::vector<ProblemaRegistro>& problemi) noexcept {
  return registro::Esegui([&](registro::Contesto& c) -> LSTATUS {
    problemi.clear();
    const FileRegistro f = AnalizzaFileRegistro(testo);
    problemi = f.problemi;
    std::vector<SezioneImportata> sezioni;
    ControllaSezioni(f, sezioni, problemi);
    if (!f.riconosciuto || !problemi.empty()) return ERROR_BADDB;

    const BloccoCartellaRegistro blocco(CartellaRegistro());
    // Every root is read and changed in memory first; files are written
    // only when all of them can be. Autostart entries, which live outside
    // the files, are written last.
    std::map<std::size_t, Alveare> alveari;
    std::map<std::size_t, bool> cambiati;
    std::vector<std::pair<std::string, std::optional<std::string>>> autostart;
    for (const auto& s : sezioni) {
      if (!alveari.contains(s.radice)) {
        RimuoviTemporaneiOrfani(registro::FileRadice(s.radice));
        alveari.emplace(s.radice, registro::Carica(s.radice, c));
      }
      Alveare& a = alveari.at(s.radice);
      if (a.errore != ERROR_SUCCESS) return a.errore;
      Nodo& albero = a.radice;
      if (s.sezione->cancella) {
        if (s.percorso.empty()) {
          albero.valori.clear();
          albero.figli.clear();
        } else if (Nodo* padre = registro::Trova(albero, s.percorso, s.percorso.size() - 1)) {
          padre->CancellaFiglio(s.percorso.back());
        }
        registro::AggiungiChiaveAutostart(s.radice, albero);
        cambiati[s.radice] = true;
        continue;
      }
      bool creata = false;
      bool cambiato = false;
      Nodo* n = &albero;
      for (const auto& nome : s.percorso)
        n = &n->FiglioReale(nome, creata, cambiato);
      const bool diAutostart = ChiaveAutostart(registro::HandleRadice(s.radice), s.percorso);
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
      if (cambiato) registro::Salva(radice, alveari.at(radice).radice);
    }
    for (const auto& [nome, comando] : autostart) {
      if (comando) {
        ScriviVoceAutostart(CartellaAutostart(), nome, *comando);
      } else {
        (void)CancellaVoceAutostart(CartellaAutostart(), nome);
      }
    }
    return ERROR_SUCCESS;
  });
}

}  // namespace platform
