#pragma once

namespace tervan {

/// Installs the Qt implementations of the host ports, in Tervan and in
/// Quomaro: message boxes as QMessageBox dialogs, and
/// QCoreApplication::processEvents as the message pump that waiting
/// routines run; and web pages opened through QDesktopServices.
void InstallaPorteQt();

}  // namespace tervan
