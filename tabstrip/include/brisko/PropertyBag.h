#pragma once

#include <QFont>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "brisko/Esporta.h"
#include "brisko/Immagine.h"

namespace brisko {

/// A value the control exchanges with its host: nothing (an empty variant),
/// a 32-bit integer (numbers and OLE colours alike), a single-precision
/// number, a string, a picture (an empty pointer is "no picture") or a font.
using Valore = std::variant<std::monostate, std::int32_t, float, std::string,
                            std::shared_ptr<Immagine>, QFont>;

/// Where a control keeps its state between sessions: one named value per
/// key. The container hands the control a bag to load from or save into.
class BRISKO_API PropertyBag {
 public:
  PropertyBag() = default;
  PropertyBag(const PropertyBag&) = default;
  PropertyBag& operator=(const PropertyBag&) = default;
  virtual ~PropertyBag();

  /// The stored value of `nome`, read as the kind of `predefinito`; the
  /// default itself when nothing is stored under that name. Throws
  /// ErroreControllo when a value is stored but cannot be read as that kind.
  [[nodiscard]] virtual Valore ReadProperty(std::string_view nome, const Valore& predefinito) = 0;

  /// Stores `valore` under `nome`. A value equal to `predefinito` is not
  /// stored (and what was stored under that name goes), so readers get the
  /// default back; with no default (an empty variant) the value is always
  /// stored.
  virtual void WriteProperty(std::string_view nome, const Valore& valore,
                             const Valore& predefinito = {}) = 0;
};

}  // namespace brisko
