#pragma once

#include <QFont>

namespace brisko {

/// Makes the captions' fonts known to the application once: Tahoma from
/// Wine's fonts, standing in also for "MS Sans Serif", with DejaVu Sans
/// where Tahoma is missing. Needs a GUI application.
void CaricaCaratteri();

/// The font of a control that nobody gave one: Tahoma 8.
[[nodiscard]] QFont CarattereIniziale();

/// `carattere` sized in whole pixels at 96 per inch, as the control draws
/// it whatever the screen's resolution (8 points give 11 pixels).
[[nodiscard]] QFont CarattereDaDisegno(const QFont& carattere);

}  // namespace brisko
