#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "AlberoRegistro.h"
#include "CaricamentoRegistro.h"
#include "ManiglieRegistro.h"
#include "RegistroFile.h"
#include "platform/FileAtomico.h"
#include "platform/RegistroFormato.h"

namespace platform::registro {

/// The sections of a tree, in the order the Windows editor writes them.
/// An export (`esportazione`) takes each key's values from where they live
/// (ValoriDi: the autostart key's from its entries, which its file never
/// holds), always writes the top key, and leaves out the keys of the Wine
/// prefix that the store's files could not hold (ChiaveConservabile).
void Sezioni(const Nodo& n, std::size_t radice, Percorso& percorso, const std::string& prefisso,
             bool esportazione, std::vector<SezioneFileRegistro>& out);

/// Writes a root's tree to its file, atomically, readable by its owner only.
void Salva(std::size_t radice, const Nodo& albero);

/// Changes one root under the folder lock: reads the file, lets `modifica`
/// change the tree, writes the file back when something changed (never a
/// file that could not be read whole: ERROR_BADDB).
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

}  // namespace platform::registro
