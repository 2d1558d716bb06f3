#pragma once

#include <algorithm>
#include <array>
#include <string_view>

/// The maker's programs as the updater knows them: where each is installed,
/// where it keeps the settings that discovery reads, and the rows (softxx)
/// it has in the local store. Everything else that names a program (the
/// discovery, the update list, the store's statements) takes it from here.
namespace tervan::programmi {

/// The management program Tarvik: one row.
inline constexpr std::array<std::string_view, 1> kRigheTarvik{"TARVIK"};
inline constexpr std::string_view kTarvik = kRigheTarvik[0];
inline constexpr std::string_view kCartellaTarvik = R"(C:\ORVANE\TARVIK)";
/// Application and section of its per-user settings.
inline constexpr std::string_view kApplicazioneTarvik = "TARVIKX";
inline constexpr std::string_view kSezioneLicenzaTarvik = "Licenza";

/// The property-management program Morlen: one row per module, in the order
/// the rows are written.
inline constexpr std::array<std::string_view, 5> kModuliMorlen{"PANELAA", "PANELAB", "PANELAD",
                                                               "PANELAC", "PANELAE"};
/// Either folder is enough for Morlen to count as installed.
inline constexpr std::string_view kCartellaMorlen = R"(C:\ORVANE\MORLEN)";
inline constexpr std::string_view kCartellaMorlenProgrammi = R"(C:\PROGRAMMI\MORLEN)";
/// The key holding its "DRIVE_ARCH" (the data drive) and customer identifier.
inline constexpr std::string_view kChiaveKovra =
    R"(HKEY_CURRENT_USER\Software\VB and VBA Program Settings\Orvane\Kovra)";

/// Whether a program code is one of Morlen's modules.
[[nodiscard]] constexpr bool ModuloMorlen(std::string_view codice) {
  return std::find(kModuliMorlen.begin(), kModuliMorlen.end(), codice) != kModuliMorlen.end();
}

/// The agency program Selvor: one row.
inline constexpr std::array<std::string_view, 1> kRigheSelvor{"SELVOR"};
inline constexpr std::string_view kSelvor = kRigheSelvor[0];
inline constexpr std::string_view kCartellaSelvor = R"(C:\ORVANE\SELVOR)";
/// The key holding its "nomexx"; application and section of the same branch
/// hold "datixx" and "Server".
inline constexpr std::string_view kChiaveVestrum =
    R"(HKEY_CURRENT_USER\Software\VB and VBA Program Settings\Vuldra\Vestrum)";
inline constexpr std::string_view kApplicazioneSelvor = "Vuldra";
inline constexpr std::string_view kSezioneSelvor = "Vestrum";

/// The executable each row names (column Filexx): Tarvik's and Morlen's
/// rows the first, Selvor's the second.
inline constexpr std::string_view kEseguibileFarsel = "Farsel.exe";
inline constexpr std::string_view kEseguibilePloduk = "Ploduk.exe";

}  // namespace tervan::programmi
