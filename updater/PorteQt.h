#pragma once

namespace tervan {

/// Installs the Qt implementations of the host ports: message boxes as
/// QMessageBox dialogs, and QCoreApplication::processEvents as the message
/// pump that waiting routines run.
void InstallaPorteQt();

}  // namespace tervan
