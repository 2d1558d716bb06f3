#pragma once

#include "common/FabbricaClassi.h"

namespace brisko {

/// The factory of the control xpVantelTab. A control is a widget: the
/// factory makes one only on the thread of a running QApplication, and
/// fails (E_FAIL) anywhere else. The object is a fresh instance without a
/// parent; the host gives it one (or not) and then InitProperties or
/// ReadProperties. Should its parent delete it first, releasing the last
/// reference does nothing more.
class FabbricaControllo final : public orvane::FabbricaClassi {
 public:
  FabbricaControllo() = default;
  ~FabbricaControllo() override = default;

  orvane::HRESULT CreaIstanza(std::shared_ptr<void>& oggetto) noexcept override;
  [[nodiscard]] const char* TipoIstanze() const noexcept override;
};

}  // namespace brisko
