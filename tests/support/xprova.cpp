// orvane-xprova: drives and photographs another program's window on an X
// display, for the scripts that look at Tervan on a virtual screen.
//   orvane-xprova attendi TITOLO [SECONDI]   waits for the window to show
//   orvane-xprova premi TITOLO TASTO         presses a key in it (X key name)
//   orvane-xprova schermata FILE.png [TITOLO] saves the screen, or only the
//                                             window with that title
// Exit status 0 done, 1 failed, 2 bad command line.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/SchermoX.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "uso: orvane-xprova attendi TITOLO [SECONDI] | premi TITOLO TASTO | schermata "
                 "FILE.png [TITOLO]\n");
    return 2;
  }
  const char* display = std::getenv("DISPLAY");
  orvane::test::SchermoX schermo(display != nullptr ? display : "");
  if (!schermo.Connesso()) {
    std::fprintf(stderr, "orvane-xprova: display X non raggiungibile\n");
    return 1;
  }
  const std::string comando = argv[1];
  if (comando == "schermata") {
    QImage immagine = schermo.Schermata();
    if (argc > 3) {
      const auto finestra = schermo.Finestra(argv[3], std::chrono::seconds(5));
      const auto area = finestra ? schermo.Area(*finestra) : std::nullopt;
      if (!area) {
        std::fprintf(stderr, "orvane-xprova: nessuna finestra \"%s\"\n", argv[3]);
        return 1;
      }
      immagine = immagine.copy(*area);
    }
    return immagine.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
  }
  const int secondi = comando == "attendi" && argc > 3 ? std::atoi(argv[3]) : 30;
  const auto finestra = schermo.Finestra(argv[2], std::chrono::seconds(secondi));
  if (!finestra) {
    std::fprintf(stderr, "orvane-xprova: nessuna finestra \"%s\"\n", argv[2]);
    return 1;
  }
  if (comando == "attendi") return 0;
  if (comando == "premi" && argc > 3) return schermo.Premi(*finestra, argv[3]) ? 0 : 1;
  return 2;
}
