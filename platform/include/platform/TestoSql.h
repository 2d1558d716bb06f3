#pragma once

#include <string>
#include <string_view>

namespace platform {

/// An SQL text literal holding `valore`: the value between single quotes,
/// every quote inside it doubled. Every statement or filter built from a
/// value spells the value through here.
[[nodiscard]] std::string LetteraleSql(std::string_view valore);

}  // namespace platform
