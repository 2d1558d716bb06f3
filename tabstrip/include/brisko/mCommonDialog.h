#pragma once

#include <QString>
#include <functional>

#include "brisko/Esporta.h"

class QWidget;

/// The file-open dialog of the property page.
namespace brisko::mCommonDialog {

/// Shows a dialog that opens a file and gives the chosen path, or an empty
/// string when it is cancelled. `filtro` is written as description|patterns
/// pairs ("All Picture Files|*.bmp;*.ico;*.gif"); `estensione` is added to a
/// typed name without one ("*.*" or empty adds nothing).
BRISKO_API QString ShowOpen(QWidget* proprietario, const QString& titolo, const QString& filtro,
                            const QString& estensione);

/// The filter in Qt's form: "All Picture Files (*.bmp *.ico *.gif)", one
/// line per pair.
[[nodiscard]] BRISKO_API QString FiltroQt(const QString& filtro);

/// What ShowOpen shows: the title, the filter in Qt's form and the default
/// suffix go in, the path (or empty) comes out.
using Finestra = std::function<QString(QWidget* proprietario, const QString& titolo,
                                       const QString& filtroQt, const QString& suffisso)>;
/// Replaces the dialog (tests answer without a screen); an empty function
/// brings back Qt's file dialog. Gives back the one it replaced.
BRISKO_API Finestra ImpostaFinestra(Finestra finestra);

}  // namespace brisko::mCommonDialog
