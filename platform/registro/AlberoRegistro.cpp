#include "AlberoRegistro.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/TestoUtf8.h"

namespace platform::registro {
namespace {

// In UTF-16 units, as Windows and Wine count them.
constexpr std::size_t kNomeChiaveMassimo = 255;
constexpr std::size_t kNomeChiaveWineMassimo = 256;
constexpr std::size_t kNomeValoreMassimo = 16383;

// The length of UTF-8 text in UTF-16 units: two for a character beyond
// U+FFFF, one for any other, and one for each byte that is not UTF-8.
std::size_t UnitaUtf16(std::string_view testo) {
  std::size_t unita = 0;
  for (std::size_t i = 0; i < testo.size();) {
    char32_t c = 0;
    const std::size_t n = DecodificaUtf8(testo, i, c);
    unita += n != 0 && c > 0xFFFF ? 2 : 1;
    i += n != 0 ? n : 1;
  }
  return unita;
}

// Empties `figli` without a recursion as deep as the keys below go.
void LiberaFigli(std::map<std::string, std::unique_ptr<Nodo>>& figli) {
  std::vector<std::unique_ptr<Nodo>> resto;
  for (auto& [chiave, figlio] : figli)
    resto.push_back(std::move(figlio));
  figli.clear();
  while (!resto.empty()) {
    const std::unique_ptr<Nodo> n = std::move(resto.back());
    resto.pop_back();
    for (auto& [chiave, figlio] : n->figli)
      resto.push_back(std::move(figlio));
    n->figli.clear();
  }
}

}  // namespace

Nodo& Nodo::operator=(Nodo&& altro) noexcept {
  if (this == &altro) return *this;
  LiberaFigli(figli);
  nome = std::move(altro.nome);
  virtuale = altro.virtuale;
  valori = std::move(altro.valori);
  figli = std::move(altro.figli);
  return *this;
}

Nodo::~Nodo() {
  LiberaFigli(figli);
}

Nodo* Nodo::Figlio(std::string_view n) {
  return const_cast<Nodo*>(std::as_const(*this).Figlio(n));
}

const Nodo* Nodo::Figlio(std::string_view n) const {
  const auto it = figli.find(MaiuscoloPerConfrontoUtf8(n));
  return it == figli.end() ? nullptr : it->second.get();
}

Nodo& Nodo::FiglioOCrea(std::string_view n, bool virt, bool* creato) {
  auto& posto = figli[MaiuscoloPerConfrontoUtf8(n)];
  if (!posto) {
    posto = std::make_unique<Nodo>();
    posto->nome = std::string(n);
    posto->virtuale = virt;
    if (creato != nullptr) *creato = true;
  }
  return *posto;
}

Nodo& Nodo::FiglioReale(std::string_view n, bool& creato, bool& cambiato) {
  Nodo& figlio = FiglioOCrea(n, false, &creato);
  if (figlio.virtuale) {
    figlio.virtuale = false;
    figlio.nome = std::string(n);
    cambiato = true;
  }
  if (creato) cambiato = true;
  return figlio;
}

void Nodo::CancellaFiglio(std::string_view n) {
  figli.erase(MaiuscoloPerConfrontoUtf8(n));
}

ValoreNodo* Nodo::Valore(std::string_view n) {
  return const_cast<ValoreNodo*>(std::as_const(*this).Valore(n));
}

const ValoreNodo* Nodo::Valore(std::string_view n) const {
  for (const auto& v : valori) {
    if (UgualiSenzaMaiuscoleUtf8(v.nome, n)) return &v;
  }
  return nullptr;
}

bool Nodo::ImpostaValore(std::string_view n, std::uint32_t tipo, std::string dati) {
  if (ValoreNodo* v = Valore(n)) {
    if (v->tipo == tipo && v->dati == dati) return false;
    v->tipo = tipo;
    v->dati = std::move(dati);
    return true;
  }
  valori.push_back({std::string(n), tipo, std::move(dati)});
  return true;
}

bool Nodo::CancellaValore(std::string_view n) {
  for (auto it = valori.begin(); it != valori.end(); ++it) {
    if (UgualiSenzaMaiuscoleUtf8(it->nome, n)) {
      valori.erase(it);
      return true;
    }
  }
  return false;
}

void ApplicaValori(Nodo& nodo, const std::vector<ValoreFileRegistro>& valori) {
  // Each value's position in nodo.valori by its folded name; a removed
  // one is marked and dropped at the end, so positions stay put.
  std::unordered_map<std::string, std::size_t> indice;
  for (std::size_t i = 0; i < nodo.valori.size(); ++i)
    indice.emplace(MaiuscoloPerConfrontoUtf8(nodo.valori[i].nome), i);
  std::vector<bool> tolti(nodo.valori.size(), false);
  for (const ValoreFileRegistro& v : valori) {
    const std::string chiave = MaiuscoloPerConfrontoUtf8(v.nome);
    const auto trovato = indice.find(chiave);
    if (v.cancella) {
      if (trovato == indice.end()) continue;
      tolti[trovato->second] = true;
      indice.erase(trovato);
    } else if (trovato != indice.end()) {
      nodo.valori[trovato->second].tipo = v.tipo;
      nodo.valori[trovato->second].dati = v.dati;
    } else {
      indice.emplace(chiave, nodo.valori.size());
      nodo.valori.push_back({v.nome, v.tipo, v.dati});
      tolti.push_back(false);
    }
  }
  std::size_t tenuti = 0;
  for (std::size_t i = 0; i < nodo.valori.size(); ++i) {
    if (tolti[i]) continue;
    if (tenuti != i) nodo.valori[tenuti] = std::move(nodo.valori[i]);
    ++tenuti;
  }
  nodo.valori.resize(tenuti);
}

Nodo* Trova(Nodo& radice, const Percorso& percorso, std::size_t quanti) {
  return const_cast<Nodo*>(Trova(std::as_const(radice), percorso, quanti));
}

const Nodo* Trova(const Nodo& radice, const Percorso& percorso, std::size_t quanti) {
  const Nodo* n = &radice;
  for (std::size_t i = 0; i < percorso.size() && i < quanti && n != nullptr; ++i) {
    n = n->Figlio(percorso[i]);
  }
  return n;
}

LSTATUS DividiPercorso(std::string_view testo, Percorso& out, std::size_t profondita) {
  out.clear();
  if (testo.empty()) return ERROR_SUCCESS;
  if (testo.front() == '\\') return ERROR_BAD_PATHNAME;
  if (testo.back() == '\\') testo.remove_suffix(1);
  std::size_t inizio = 0;
  while (true) {
    const std::size_t barra = testo.find('\\', inizio);
    const std::string_view nome = testo.substr(
        inizio, barra == std::string_view::npos ? std::string_view::npos : barra - inizio);
    if (nome.empty() || out.size() == profondita) return ERROR_BAD_PATHNAME;
    out.emplace_back(nome);
    if (barra == std::string_view::npos) break;
    inizio = barra + 1;
  }
  return ERROR_SUCCESS;
}

bool NomeChiaveValido(std::string_view nome) {
  return !nome.empty() && UnitaUtf16(nome) <= kNomeChiaveMassimo &&
         nome.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

bool NomeChiaveWineValido(std::string_view nome) {
  return !nome.empty() && UnitaUtf16(nome) <= kNomeChiaveWineMassimo &&
         nome.find('\0') == std::string_view::npos;
}

bool ChiaveConservabile(const Percorso& percorso) {
  return percorso.size() < kProfonditaMassima &&
         std::all_of(percorso.begin(), percorso.end(),
                     [](const std::string& nome) { return NomeChiaveValido(nome); });
}

bool NomeValoreValido(std::string_view nome) {
  return UnitaUtf16(nome) <= kNomeValoreMassimo && nome.find('\0') == std::string_view::npos;
}

Percorso Unisci(const Percorso& a, const Percorso& b) {
  Percorso r = a;
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

}  // namespace platform::registro
