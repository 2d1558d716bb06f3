#pragma once

class QCoreApplication;

namespace tervan {

/// Loads Qt's own Italian translation (qtbase_it) into `applicazione`,
/// whatever the locale. False when it is not installed: the message boxes
/// still label their buttons in Italian themselves.
bool CaricaTraduzioneQt(QCoreApplication& applicazione);

/// Installs the Qt implementations of the host ports, in Tervan and in
/// Quomaro: message boxes as QMessageBox dialogs, and
/// QCoreApplication::processEvents as the message pump that waiting
/// routines run; and web pages opened through xdg-open, without waiting.
void InstallaPorteQt();

}  // namespace tervan
