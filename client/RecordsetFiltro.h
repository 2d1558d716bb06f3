#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RecordsetDati.h"

namespace quomaro {

/// A compiled filter criterion: clauses "col op value" joined by AND and OR,
/// grouped by parentheses.
class RecordsetFiltro {
 public:
  using TrovaColonna = std::function<std::optional<std::size_t>(std::string_view)>;

  /// Compiles `criterio` for these columns (`trova` maps a name to its
  /// position). Throws std::invalid_argument for bad syntax, an unknown
  /// column or a value that does not fit its column's type.
  [[nodiscard]] static RecordsetFiltro Compila(std::string_view criterio,
                                               const std::vector<ColonnaPersistita>& colonne,
                                               const TrovaColonna& trova);

  /// Whether a record meets the criterion.
  [[nodiscard]] bool Accetta(const std::vector<Valore>& riga) const;

  enum class Operatore { Uguale, Diverso, Minore, Maggiore, MinoreUguale, MaggioreUguale, Come };
  enum class TipoNodo { Confronto, Tutti, Almeno };

  /// A node of the criterion: a comparison, or all / at least one of its
  /// children.
  struct Nodo {
    TipoNodo tipo = TipoNodo::Confronto;
    std::vector<Nodo> figli;
    std::size_t colonna = 0;
    Operatore operatore = Operatore::Uguale;
    std::optional<Valore> valore;  ///< nothing stands for NULL
    std::string modello;           ///< LIKE pattern
  };

 private:
  explicit RecordsetFiltro(Nodo radice) : radice_(std::move(radice)) {}
  Nodo radice_;
};

}  // namespace quomaro
