#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tervan {

/// The components Tervan registers from its program folder at every start,
/// in this order.
inline constexpr std::array<std::string_view, 10> kComponenti{
    "Quomaro.dll", "SSubTmr6.dll",    "SmartSubClass.dll",  "scrrun.dll",    "NotifyIcon.ocx",
    "brisko.ocx",  "SmartButton.ocx", "SmartNetButton.ocx", "vbalGrid6.ocx", "vbalProgBar6.ocx",
};

/// The marker file that turns live mode on.
inline constexpr std::string_view kFileLive = "Live.txt";

/// The program's start: answers Tervan's own options (OpzioniTervan.h),
/// registers the components, ends silently (exit code 0) when another
/// Tervan of this user and session runs (having asked it, unless started with
/// "VERIFICA", to show its window: see CanaleIstanza), otherwise loads the
/// main window and runs until it is unloaded. A refused folder of the
/// user's for the instance lock, or a malformed settings file, is reported
/// once (error log and message box) and ends the start with exit code 1.
/// Returns the process exit code.
int Main(int argc, char** argv);

/// Live mode: "Live.txt" (in any case, as Windows matches names) exists in
/// the program folder, or the command line is exactly "LIVE". Asked afresh
/// at every call.
[[nodiscard]] bool ModalitaLive();

/// The command line without the spaces at its two ends, as the window's
/// rules read it: "VERIFICA" means started at log-on, empty means started
/// by the user.
[[nodiscard]] std::string RigaDiComandoRifilata();

}  // namespace tervan
