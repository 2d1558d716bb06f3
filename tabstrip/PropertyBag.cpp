#include "brisko/PropertyBag.h"

namespace brisko {

PropertyBag::~PropertyBag() = default;

}  // namespace brisko
