// basUtilxx's closing of another program's window. A library of its own
// (common_finestre) because it needs the window system, which only Tervan
// links.

#include <string>

#include "common/Routine.h"
#include "common/basUtilxx.h"
#include "platform/Finestre.h"

namespace orvane {
namespace {

constexpr std::string_view kModulo = "basUtilxx";

}  // namespace

void CloseApplication(const std::string& Caption) {
  Routine(kModulo, "CloseApplication", [&](int& linea) {
    linea = 10;
    platform::ChiudiFinestra(Caption);
  });
}

}  // namespace orvane
