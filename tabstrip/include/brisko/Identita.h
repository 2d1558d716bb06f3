#pragma once

#include <string_view>

// The identities of Brisko's type library (library "Brisko", version 1.0),
// which hosts store and bind to.
namespace brisko::identita {

inline constexpr std::string_view kLibreria = "{1659F14B-03E6-4545-9494-128C88EFBEF6}";
inline constexpr std::string_view kxpVantelTab = "{B271AF6D-7732-4DA4-9C87-64EB2AF58B94}";
inline constexpr std::string_view k_xpVantelTab = "{44F65BAF-3762-4A7F-8C03-DBA233935F9D}";
// The type library's __xpVantelTab: C++ reserves names with a double underscore.
inline constexpr std::string_view kDoppio_xpVantelTab = "{3C318479-C788-4040-83C0-8BA8DD1C37D9}";
inline constexpr std::string_view keTabAlignment = "{C15E24ED-5DD9-45BE-8549-BB1371EBA6BE}";
inline constexpr std::string_view kTabs = "{DC8137BC-F82D-4488-A952-5CAD7E2574EE}";
inline constexpr std::string_view k_Tabs = "{B7BB340F-D8E1-4C73-9222-E26927F066E7}";
/// The control's program identifier.
inline constexpr std::string_view kProgId = "Brisko.xpVantelTab";

}  // namespace brisko::identita
