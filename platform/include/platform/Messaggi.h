#pragma once

#include <functional>
#include <string>

namespace platform {

/// Buttons, icons and default button of a message box, combined by addition
/// exactly as the system's message-box styles are.
enum StileMessaggio : int {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbAbortRetryIgnore = 2,
  vbYesNoCancel = 3,
  vbYesNo = 4,
  vbRetryCancel = 5,
  vbCritical = 16,
  vbQuestion = 32,
  vbExclamation = 48,
  vbInformation = 64,
  vbDefaultButton1 = 0,
  vbDefaultButton2 = 256,
  vbDefaultButton3 = 512,
};

/// The button the user chose.
enum RispostaMessaggio : int {
  vbOK = 1,
  vbCancel = 2,
  vbAbort = 3,
  vbRetry = 4,
  vbIgnore = 5,
  vbYes = 6,
  vbNo = 7,
};

struct Messaggio {
  std::string testo;
  int stile = vbOKOnly;
  std::string titolo;
};

/// Shows a message and returns the chosen button. The host installs the
/// real dialog; tests install a recorder.
using PortaMessaggi = std::function<int(const Messaggio&)>;

/// Installs the message-box implementation of this module; an empty function
/// restores the default, which writes the message to standard error and
/// answers the default button (for processes without a GUI host).
void ImpostaPortaMessaggi(PortaMessaggi porta);

/// The implementation installed now (the default when none was installed).
[[nodiscard]] PortaMessaggi PortaMessaggiCorrente();

/// Shows a modal message box through the installed implementation.
int MsgBox(const std::string& testo, int stile, const std::string& titolo);

/// The button a dialog of that style answers when the user just confirms it.
[[nodiscard]] int RispostaPredefinita(int stile);

}  // namespace platform
