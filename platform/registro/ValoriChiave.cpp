#include "ValoriChiave.h"

#include <system_error>

#include "CaricamentoRegistro.h"
#include "RegistroAutostart.h"
#include "RegistroFile.h"
#include "SalvataggioRegistro.h"
#include "StratoWine.h"

namespace platform::registro {
namespace {

// The values of an ordinary key: in its root's tree and file.
class ValoriAlbero final : public ValoriChiave {
 public:
  LSTATUS Leggi(const Nodo& nodo, std::string_view nome, ValoreNodo& out) const override {
    const ValoreNodo* v = nodo.Valore(nome);
    if (v == nullptr) return ERROR_FILE_NOT_FOUND;
    out = *v;
    return ERROR_SUCCESS;
  }
  LSTATUS Elenca(const Nodo& nodo, std::uint32_t indice, ValoreNodo& out) const override {
    if (indice >= nodo.valori.size()) return ERROR_NO_MORE_ITEMS;
    out = nodo.valori[indice];
    return ERROR_SUCCESS;
  }
  std::vector<ValoreNodo> Esportati(const Nodo& nodo) const override { return nodo.valori; }
  LSTATUS Imposta(const Riferimento& r, std::string_view nome, std::uint32_t tipo, std::string dati,
                  Contesto& c) const override {
    return ModificaRadice(r.radice, c, [&](Nodo& albero, bool& cambiato) {
      // A key that only the Wine prefix holds takes the value in the store.
      Nodo* n = nullptr;
      if (const LSTATUS e = TrovaOCopia(albero, r.radice, r.percorso, c, cambiato, n);
          e != ERROR_SUCCESS) {
        return e;
      }
      cambiato = n->ImpostaValore(nome, tipo, std::move(dati)) || cambiato;
      return ERROR_SUCCESS;
    });
  }
  LSTATUS Cancella(const Riferimento& r, std::string_view nome, Contesto& c) const override {
    return ModificaRadice(r.radice, c, [&](Nodo& albero, bool& cambiato) {
      Nodo* n = Trova(albero, r.percorso);
      if (n != nullptr && n->CancellaValore(nome)) {
        cambiato = true;
        return ERROR_SUCCESS;
      }
      // A value of the Wine prefix stays: the store never changes the prefix.
      const Nodo* wine = NodoWine(AlberoWine(r.radice, c), r.percorso);
      if (wine != nullptr && wine->Valore(nome) != nullptr) return ERROR_ACCESS_DENIED;
      return n == nullptr && wine == nullptr ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
    });
  }
  bool ChiaveCancellabile() const override { return true; }
};

// The values of the autostart Run key: string values only, one XDG
// autostart entry each. The key's node in the tree only says that the key
// exists (a handle to it may outlive a deleted tree).
class ValoriAutostart final : public ValoriChiave {
 public:
  LSTATUS Leggi(const Nodo& /*nodo*/, std::string_view nome, ValoreNodo& out) const override {
    const auto voce = TrovaVoceAutostart(CartellaAutostart(), nome);
    if (!voce) return ERROR_FILE_NOT_FOUND;
    out = {voce->nome, REG_SZ, voce->comando + '\0'};
    return ERROR_SUCCESS;
  }
  LSTATUS Elenca(const Nodo& /*nodo*/, std::uint32_t indice, ValoreNodo& out) const override {
    const auto voci = VociAutostartProprie(CartellaAutostart());
    if (indice >= voci.size()) return ERROR_NO_MORE_ITEMS;
    out = {voci[indice].nome, REG_SZ, voci[indice].comando + '\0'};
    return ERROR_SUCCESS;
  }
  std::vector<ValoreNodo> Esportati(const Nodo& /*nodo*/) const override {
    std::vector<ValoreNodo> valori;
    for (const auto& voce : VociAutostartProprie(CartellaAutostart()))
      valori.push_back({voce.nome, REG_SZ, voce.comando + '\0'});
    return valori;
  }
  LSTATUS Imposta(const Riferimento& r, std::string_view nome, std::uint32_t tipo, std::string dati,
                  Contesto& c) const override {
    if (tipo != REG_SZ) return ERROR_INVALID_PARAMETER;
    const BloccoCartellaRegistro blocco(CartellaRegistro());
    if (const LSTATUS e = ChiaveEsistente(r, c); e != ERROR_SUCCESS) return e;
    // The command is the text up to the terminating zero.
    SegnalandoErrore(nome, c, "scrivere", [&] {
      ScriviVoceAutostart(CartellaAutostart(), nome, dati.substr(0, dati.find('\0')));
    });
    return ERROR_SUCCESS;
  }
  LSTATUS Cancella(const Riferimento& r, std::string_view nome, Contesto& c) const override {
    const BloccoCartellaRegistro blocco(CartellaRegistro());
    if (const LSTATUS e = ChiaveEsistente(r, c); e != ERROR_SUCCESS) return e;
    LSTATUS esito = ERROR_SUCCESS;
    SegnalandoErrore(nome, c, "cancellare",
                     [&] { esito = CancellaVoceAutostart(CartellaAutostart(), nome); });
    return esito;
  }
  bool ChiaveCancellabile() const override { return false; }

 private:
  // Runs a change of the entry of `nome`. A file system failure (a folder
  // in the entry's place, a link to a file the user may not replace) is
  // reported once, naming the entry, and then fails the operation: the
  // program that asked would otherwise take the log-on start as set.
  template <class Corpo>
  static void SegnalandoErrore(std::string_view nome, Contesto& c, std::string_view azione,
                               Corpo&& corpo) {
    try {
      corpo();
    } catch (const std::system_error& e) {
      const std::filesystem::path file = CartellaAutostart() / NomeFileAutostart(nome);
      Segnala(c,
              "autostart:" + file.string() + ":" + std::string(azione) + ":" +
                  std::to_string(e.code().value()) + ":" + FirmaFileRegistro(file),
              {file, 0,
               "Impossibile " + std::string(azione) + " la voce di avvio automatico \"" +
                   file.string() + "\": " + e.code().message(),
               CodiceDaErrno(e.code().value())});
      throw;
    }
  }
  // Whether the root can be read at all and the handle's key is still there.
  static LSTATUS ChiaveEsistente(const Riferimento& r, Contesto& c) {
    ChiaveAperta chiave;
    return ApriChiave(r, {}, 0, c, chiave);
  }
};

}  // namespace

const ValoriChiave& ValoriDi(std::size_t radice, const Percorso& percorso) {
  // Never destroyed: registry calls may come from other static destructors.
  static const auto* albero = new ValoriAlbero;
  static const auto* autostart = new ValoriAutostart;
  if (ChiaveAutostart(HandleRadice(radice), percorso)) return *autostart;
  return *albero;
}

}  // namespace platform::registro
