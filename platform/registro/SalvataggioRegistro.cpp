#include "SalvataggioRegistro.h"

#include "ValoriChiave.h"

namespace platform::registro {

void Sezioni(const Nodo& n, std::size_t radice, Percorso& percorso, const std::string& prefisso,
             bool esportazione, std::vector<SezioneFileRegistro>& out) {
  std::vector<ValoreFileRegistro> valori;
  for (const auto& v : esportazione ? ValoriDi(radice, percorso).Esportati(n) : n.valori)
    valori.push_back({v.nome, v.tipo, v.dati, false});
  const bool radiceAlbero = percorso.empty();
  if (!valori.empty() || (!radiceAlbero && !n.virtuale) || (esportazione && out.empty())) {
    SezioneFileRegistro s;
    s.chiave = prefisso;
    s.valori = std::move(valori);
    out.push_back(std::move(s));
  }
  for (const auto& [chiave, figlio] : n.figli) {
    // A key of the Wine prefix that the store's files could not hold would
    // not read back (a line break in its name breaks the file); it is left
    // out, with the keys below it.
    if (esportazione &&
        (!NomeChiaveValido(figlio->nome) || percorso.size() + 1 >= kProfonditaMassima)) {
      continue;
    }
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
  ScriviFileAtomico(FileRadice(radice), TestoFileRegistro(sezioni), 0600);
}

}  // namespace platform::registro
