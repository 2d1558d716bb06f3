#include "RecordsetFiltro.h"

#include <stdexcept>
#include <utility>

#include "platform/TestoUtf8.h"

namespace quomaro {
namespace {

using Nodo = RecordsetFiltro::Nodo;
using Operatore = RecordsetFiltro::Operatore;
using TipoNodo = RecordsetFiltro::TipoNodo;

// Parentheses nest at most this deep, so a hostile criterion cannot exhaust
// the stack of the recursive reader below.
constexpr int kProfonditaMassima = 64;

enum class Gettone { Fine, Nome, Testo, Data, Numero, Simbolo, Aperta, Chiusa };

struct Lettura {
  Gettone tipo = Gettone::Fine;
  std::string testo;
};

[[noreturn]] void Rifiuta(const std::string& motivo) {
  throw std::invalid_argument("Filtro non valido: " + motivo);
}

bool CarattereNome(char c, bool primo) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || u >= 0x80 ||
         (!primo && c >= '0' && c <= '9');
}

class Lettore {
 public:
  Lettore(std::string_view criterio, const std::vector<ColonnaPersistita>& colonne,
          const RecordsetFiltro::TrovaColonna& trova)
      : testo_(criterio), colonne_(colonne), trova_(trova) {
    Avanza();
  }

  Nodo Espressione(int profondita) {
    if (profondita > kProfonditaMassima) Rifiuta("troppe parentesi annidate");
    Nodo primo = Termine(profondita);
    if (!ParolaChiave("OR")) return primo;
    Nodo almeno;
    almeno.tipo = TipoNodo::Almeno;
    almeno.figli.push_back(std::move(primo));
    while (ParolaChiave("OR")) {
      Avanza();
      almeno.figli.push_back(Termine(profondita));
    }
    return almeno;
  }

  void Termina() const {
    if (attuale_.tipo != Gettone::Fine) Rifiuta("testo inatteso \"" + attuale_.testo + "\"");
  }

 private:
  Nodo Termine(int profondita) {
    Nodo primo = Fattore(profondita);
    if (!ParolaChiave("AND")) return primo;
    Nodo tutti;
    tutti.tipo = TipoNodo::Tutti;
    tutti.figli.push_back(std::move(primo));
    while (ParolaChiave("AND")) {
      Avanza();
      tutti.figli.push_back(Fattore(profondita));
    }
    return tutti;
  }

  Nodo Fattore(int profondita) {
    if (attuale_.tipo == Gettone::Aperta) {
      Avanza();
      Nodo dentro = Espressione(profondita + 1);
      if (attuale_.tipo != Gettone::Chiusa) Rifiuta("parentesi non chiusa");
      Avanza();
      return dentro;
    }
    return Clausola();
  }

  Nodo Clausola() {
    if (attuale_.tipo != Gettone::Nome) Rifiuta("atteso il nome di una colonna");
    const auto colonna = trova_(attuale_.testo);
    if (!colonna) Rifiuta("colonna sconosciuta \"" + attuale_.testo + "\"");
    Nodo nodo;
    nodo.colonna = *colonna;
    Avanza();
    if (ParolaChiave("LIKE")) {
      nodo.operatore = Operatore::Come;
    } else if (attuale_.tipo == Gettone::Simbolo) {
      const std::string& op = attuale_.testo;
      nodo.operatore = op == "="    ? Operatore::Uguale
                       : op == "<>" ? Operatore::Diverso
                       : op == "<"  ? Operatore::Minore
                       : op == ">"  ? Operatore::Maggiore
                       : op == "<=" ? Operatore::MinoreUguale
                                    : Operatore::MaggioreUguale;
    } else {
      Rifiuta("atteso un operatore");
    }
    Avanza();
    const Lettura valore = attuale_;
    Avanza();
    if (valore.tipo == Gettone::Nome && platform::UgualiSenzaMaiuscoleAscii(valore.testo, "NULL")) {
      if (nodo.operatore != Operatore::Uguale && nodo.operatore != Operatore::Diverso) {
        Rifiuta("NULL si confronta solo con = e <>");
      }
      return nodo;
    }
    if (valore.tipo != Gettone::Testo && valore.tipo != Gettone::Data &&
        valore.tipo != Gettone::Numero) {
      Rifiuta("atteso un valore");
    }
    if (nodo.operatore == Operatore::Come) {
      nodo.modello = platform::MinuscoloAscii(valore.testo);
      return nodo;
    }
    TipoCampo famiglia = colonne_.at(nodo.colonna).famiglia;
    if (famiglia == TipoCampo::Intero) famiglia = TipoCampo::Decimale;
    Valore letterale(famiglia, valore.testo);
    if (!letterale.Conforme()) Rifiuta("valore \"" + valore.testo + "\" non adatto alla colonna");
    nodo.valore = std::move(letterale);
    return nodo;
  }

  [[nodiscard]] bool ParolaChiave(std::string_view parola) const {
    return attuale_.tipo == Gettone::Nome &&
           platform::UgualiSenzaMaiuscoleAscii(attuale_.testo, parola);
  }

  void Avanza() {
    while (pos_ < testo_.size() && (testo_[pos_] == ' ' || testo_[pos_] == '\t' ||
                                    testo_[pos_] == '\r' || testo_[pos_] == '\n')) {
      ++pos_;
    }
    attuale_ = Lettura{};
    if (pos_ >= testo_.size()) return;
    const char c = testo_[pos_];
    if (c == '(' || c == ')') {
      attuale_ = {c == '(' ? Gettone::Aperta : Gettone::Chiusa, std::string(1, c)};
      ++pos_;
    } else if (c == '<' || c == '>' || c == '=') {
      std::size_t n = 1;
      if (c != '=' && pos_ + 1 < testo_.size() &&
          (testo_[pos_ + 1] == '=' || (c == '<' && testo_[pos_ + 1] == '>'))) {
        n = 2;
      }
      attuale_ = {Gettone::Simbolo, std::string(testo_.substr(pos_, n))};
      pos_ += n;
    } else if (c == '\'') {
      attuale_ = {Gettone::Testo, Racchiuso('\'', true)};
    } else if (c == '#') {
      attuale_ = {Gettone::Data, Racchiuso('#', false)};
    } else if (c == '[') {
      attuale_ = {Gettone::Nome, Racchiuso(']', false)};
    } else if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.') {
      const std::size_t inizio = pos_++;
      while (pos_ < testo_.size() &&
             ((testo_[pos_] >= '0' && testo_[pos_] <= '9') || testo_[pos_] == '.' ||
              testo_[pos_] == 'e' || testo_[pos_] == 'E' ||
              ((testo_[pos_] == '-' || testo_[pos_] == '+') &&
               (testo_[pos_ - 1] == 'e' || testo_[pos_ - 1] == 'E')))) {
        ++pos_;
      }
      attuale_ = {Gettone::Numero, std::string(testo_.substr(inizio, pos_ - inizio))};
    } else if (CarattereNome(c, true)) {
      const std::size_t inizio = pos_++;
      while (pos_ < testo_.size() && CarattereNome(testo_[pos_], false))
        ++pos_;
      attuale_ = {Gettone::Nome, std::string(testo_.substr(inizio, pos_ - inizio))};
    } else {
      Rifiuta(std::string("carattere inatteso '") + c + "'");
    }
  }

  // The text up to the closing character, after the opening one; with
  // `raddoppio` a doubled closing character stands for itself.
  std::string Racchiuso(char chiusura, bool raddoppio) {
    std::string r;
    ++pos_;
    while (pos_ < testo_.size()) {
      const char c = testo_[pos_++];
      if (c != chiusura) {
        r += c;
      } else if (raddoppio && pos_ < testo_.size() && testo_[pos_] == chiusura) {
        r += c;
        ++pos_;
      } else {
        return r;
      }
    }
    Rifiuta("valore non chiuso");
  }

  std::string_view testo_;
  const std::vector<ColonnaPersistita>& colonne_;
  const RecordsetFiltro::TrovaColonna& trova_;
  std::size_t pos_ = 0;
  Lettura attuale_;
};

// Whether `testo` matches `modello` (already lower-case), where * and %
// stand for any run of characters; without regard to case.
bool Somiglia(std::string_view testo, std::string_view modello) {
  std::size_t t = 0;
  std::size_t m = 0;
  std::size_t stella = std::string_view::npos;
  std::size_t ripresa = 0;
  while (t < testo.size()) {
    if (m < modello.size() && (modello[m] == '*' || modello[m] == '%')) {
      stella = m++;
      ripresa = t;
    } else if (m < modello.size() && modello[m] == platform::MinuscolaAscii(testo[t])) {
      ++m;
      ++t;
    } else if (stella != std::string_view::npos) {
      m = stella + 1;
      t = ++ripresa;
    } else {
      return false;
    }
  }
  while (m < modello.size() && (modello[m] == '*' || modello[m] == '%'))
    ++m;
  return m == modello.size();
}

bool Valuta(const Nodo& nodo, const std::vector<Valore>& riga) {
  switch (nodo.tipo) {
    case TipoNodo::Tutti:
      for (const auto& f : nodo.figli) {
        if (!Valuta(f, riga)) return false;
      }
      return true;
    case TipoNodo::Almeno:
      for (const auto& f : nodo.figli) {
        if (Valuta(f, riga)) return true;
      }
      return false;
    case TipoNodo::Confronto:
      break;
  }
  const Valore& v = riga.at(nodo.colonna);
  if (nodo.operatore == Operatore::Come) return !v.Nullo() && Somiglia(v.Testo(), nodo.modello);
  if (!nodo.valore) return (nodo.operatore == Operatore::Uguale) == v.Nullo();
  if (v.Nullo()) return false;
  const int c = v.Conforme()
                    ? Valore::Confronta(v, *nodo.valore)
                    : platform::ConfrontaSenzaMaiuscoleAscii(v.Testo(), nodo.valore->Testo());
  switch (nodo.operatore) {
    case Operatore::Uguale:
      return c == 0;
    case Operatore::Diverso:
      return c != 0;
    case Operatore::Minore:
      return c < 0;
    case Operatore::Maggiore:
      return c > 0;
    case Operatore::MinoreUguale:
      return c <= 0;
    case Operatore::MaggioreUguale:
    case Operatore::Come:
      break;
  }
  return c >= 0;
}

}  // namespace

RecordsetFiltro RecordsetFiltro::Compila(std::string_view criterio,
                                         const std::vector<ColonnaPersistita>& colonne,
                                         const TrovaColonna& trova) {
  Lettore lettore(criterio, colonne, trova);
  Nodo radice = lettore.Espressione(0);
  lettore.Termina();
  return RecordsetFiltro(std::move(radice));
}

bool RecordsetFiltro::Accetta(const std::vector<Valore>& riga) const {
  return Valuta(radice_, riga);
}

}  // namespace quomaro
