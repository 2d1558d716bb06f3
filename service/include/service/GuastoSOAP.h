#pragma once

#include <stdexcept>
#include <string>

namespace orvane::servizio {

/// A request the service answers with a SOAP fault: the caller's mistake
/// (malformed request, unknown operation, refused statement) or the
/// service's own failure.
class GuastoSOAP : public std::runtime_error {
 public:
  enum class Lato { Mittente, Servizio };

  GuastoSOAP(Lato lato, const std::string& motivo) : std::runtime_error(motivo), lato_(lato) {}

  [[nodiscard]] Lato Origine() const noexcept { return lato_; }

 private:
  Lato lato_;
};

}  // namespace orvane::servizio
