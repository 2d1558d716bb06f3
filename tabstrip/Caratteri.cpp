#include "Caratteri.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace brisko {
namespace {

constexpr const char* kTahoma = "/usr/share/wine/fonts/tahoma.ttf";
constexpr const char* kTahomaGrassetto = "/usr/share/wine/fonts/tahomabd.ttf";

}  // namespace

void CaricaCaratteri() {
  static const bool caricati = [] {
    QFontDatabase::addApplicationFont(QString::fromLatin1(kTahoma));
    QFontDatabase::addApplicationFont(QString::fromLatin1(kTahomaGrassetto));
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    return true;
  }();
  (void)caricati;
}

QFont CarattereIniziale() {
  return QFont(QStringLiteral("Tahoma"), 8);
}

QFont CarattereDaDisegno(const QFont& carattere) {
  QFont risultato = carattere;
  risultato.setHintingPreference(QFont::PreferFullHinting);
  if (carattere.pointSizeF() > 0) {
    risultato.setPixelSize(
        std::max(1, static_cast<int>(std::lround(carattere.pointSizeF() * 96.0 / 72.0))));
  }
  return risultato;
}

}  // namespace brisko
