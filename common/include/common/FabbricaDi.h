#pragma once

#include <atomic>
#include <memory>
#include <typeinfo>

#include "common/FabbricaClassi.h"
#include "common/Routine.h"

namespace orvane {

/// How many objects made by this module's factories are still alive (each
/// module that links the common code has its own count).
[[nodiscard]] std::atomic<long>& OggettiInVita() noexcept;

/// The factory of a class that is made with its default constructor. Its
/// objects count in OggettiInVita from their making to their release.
template <class T>
class FabbricaDi final : public FabbricaClassi {
 public:
  FabbricaDi() = default;
  ~FabbricaDi() override = default;

  HRESULT CreaIstanza(std::shared_ptr<void>& oggetto) noexcept override {
    oggetto.reset();
    // A constructor that fails makes no object; the failure is the result.
    const bool fatto = Tacitamente([&] {
      auto nuovo = std::make_unique<T>();
      OggettiInVita().fetch_add(1);
      // Should the shared pointer fail, it releases the object through the
      // deleter, which also takes the object off the count.
      oggetto = std::shared_ptr<T>(nuovo.release(), [](T* o) {
        delete o;
        OggettiInVita().fetch_sub(1);
      });
    });
    return fatto ? S_OK : E_FAIL;
  }

  [[nodiscard]] const char* TipoIstanze() const noexcept override { return typeid(T).name(); }
};

}  // namespace orvane
