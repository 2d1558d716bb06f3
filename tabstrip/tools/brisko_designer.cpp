// brisko-designer: the tab strip's designer. With a state file it opens a
// window holding the live control and its property sheet; --render paints a
// stored state offscreen into a PNG file:
//
//   brisko-designer STATE
//   brisko-designer --render STATE OUT.png [--focus] [--hot N] [--size WxH]
//
// Exit status: 0 done, 1 the state could not be read or painted or the
// image not written (with the reason), 2 bad command line, a file that is
// not a tab strip state, or no screen for the window. What a state names but
// cannot be loaded (a missing picture file) is reported as a warning.
#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QString>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "FinestraDesigner.h"
#include "FoglioProprieta.h"
#include "brisko/ErroreControllo.h"
#include "brisko/PropertyBagIni.h"
#include "brisko/xpVantelTab.h"
#include "platform/FileAtomico.h"
#include "platform/UscitaStandard.h"

namespace {

constexpr int kFallito = 1;
constexpr int kUsoErrato = 2;

constexpr std::string_view kUso =
    "Uso:\n"
    "  brisko-designer STATO\n"
    "  brisko-designer --render STATO IMMAGINE.png [--focus] [--hot N] [--size LxA]\n"
    "\n"
    "Apre la finestra di progettazione della barra di schede salvata in STATO\n"
    "(un file che non esiste ancora inizia una barra nuova), oppure\n"
    "disegna la barra di schede salvata in STATO (file INI, sezione [xpVantelTab])\n"
    "e scrive l'immagine in formato PNG.\n"
    "  --focus      la barra ha lo stato attivo\n"
    "  --hot N      la scheda N è sotto il puntatore\n"
    "  --size LxA   larghezza e altezza in pixel (predefinite 300x100)\n";

struct Richiesta {
  std::filesystem::path stato;
  std::filesystem::path uscita;
  bool fuoco = false;
  std::int32_t calda = 0;
  int larghezza = 300;
  int altezza = 100;
};

// The exit status for a failure to read the state `file`, told on stderr.
int StatoIllegibile(const std::filesystem::path& file, const brisko::ErroreControllo& e) {
  std::cerr << "brisko-designer: impossibile leggere lo stato " << file.string() << ": " << e.what()
            << " (errore " << e.Numero() << ")\n";
  return e.Numero() == brisko::ErroreControllo::kFormatoFileNonValido ? kUsoErrato : kFallito;
}

void Avvisa(const std::vector<std::string>& avvisi) {
  for (const auto& avviso : avvisi) {
    std::cerr << "brisko-designer: avviso: " << avviso << "\n";
  }
}

int UsoErrato(const std::string& messaggio) {
  std::cerr << "brisko-designer: " << messaggio << "\n\n" << kUso;
  return kUsoErrato;
}

std::optional<int> Numero(std::string_view testo, int minimo, int massimo) {
  int valore = 0;
  const auto [fine, errore] = std::from_chars(testo.data(), testo.data() + testo.size(), valore);
  if (errore != std::errc() || fine != testo.data() + testo.size() || valore < minimo ||
      valore > massimo) {
    return std::nullopt;
  }
  return valore;
}

// The command line, or the reason it is wrong.
std::optional<std::string> Leggi(const std::vector<std::string_view>& args, Richiesta& r) {
  if (args.size() < 3 || args[0] != "--render") {
    return "si usa: --render STATO IMMAGINE.png";
  }
  r.stato = std::filesystem::path(args[1]);
  r.uscita = std::filesystem::path(args[2]);
  for (std::size_t i = 3; i < args.size(); ++i) {
    if (args[i] == "--focus") {
      r.fuoco = true;
    } else if (args[i] == "--hot" && i + 1 < args.size()) {
      const auto n = Numero(args[++i], 0, 32767);
      if (!n) return "numero di scheda non valido: " + std::string(args[i]);
      r.calda = *n;
    } else if (args[i] == "--size" && i + 1 < args.size()) {
      const std::string_view misura = args[++i];
      const std::size_t x = misura.find('x');
      const auto l =
          x == std::string_view::npos ? std::nullopt : Numero(misura.substr(0, x), 1, 8192);
      const auto a =
          x == std::string_view::npos ? std::nullopt : Numero(misura.substr(x + 1), 1, 8192);
      if (!l || !a) return "misura non valida (LxA, da 1 a 8192): " + std::string(misura);
      r.larghezza = *l;
      r.altezza = *a;
    } else {
      return "argomento sconosciuto: " + std::string(args[i]);
    }
  }
  return std::nullopt;
}

int Disegna(const Richiesta& r) {
  brisko::xpVantelTab controllo;
  try {
    auto stato = brisko::PropertyBagIni::Carica(r.stato);
    controllo.ReadProperties(stato);
    Avvisa(stato.Avvisi());
  } catch (const brisko::ErroreControllo& e) {
    return StatoIllegibile(r.stato, e);
  }
  if (controllo.Alignment() != brisko::tTop && controllo.Alignment() != brisko::tLeft) {
    std::cerr << "brisko-designer: avviso: l'allineamento " << controllo.Alignment()
              << " non ha una disposizione delle schede: l'immagine mostra solo lo sfondo\n";
  }
  try {
    controllo.resize(r.larghezza, r.altezza);
    if (r.calda > controllo.NumberOfTabs()) {
      std::cerr << "brisko-designer: la scheda " << r.calda << " non esiste (le schede sono "
                << controllo.NumberOfTabs() << ")\n";
      return kFallito;
    }
    controllo.ImpostaFocusFlag(r.fuoco);
    controllo.ImpostaHotTab(r.calda);
  } catch (const brisko::ErroreControllo& e) {
    std::cerr << "brisko-designer: impossibile disegnare lo stato " << r.stato.string() << ": "
              << e.what() << " (errore " << e.Numero() << ")\n";
    return kFallito;
  }
  // The image replaces the file as the state's save does: whole or not at
  // all, and through no link another user planted in a shared folder.
  QByteArray png;
  QBuffer memoria(&png);
  if (!memoria.open(QIODevice::WriteOnly) || !controllo.ImmagineControllo().save(&memoria, "PNG")) {
    std::cerr << "brisko-designer: impossibile scrivere " << r.uscita.string() << "\n";
    return kFallito;
  }
  try {
    platform::ScriviFileAtomico(
        r.uscita, std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
  } catch (const std::system_error& e) {
    std::cerr << "brisko-designer: impossibile scrivere " << e.what() << "\n";
    return kFallito;
  }
  return 0;
}

// Qt ends the process when it can reach no screen; the designer ends it
// instead, with its own message and status.
void SenzaSchermo(QtMsgType tipo, const QMessageLogContext& contesto, const QString& testo) {
  if (tipo != QtFatalMsg) {
    std::cerr << qFormatLogMessage(tipo, contesto, testo).toStdString() << "\n";
    return;
  }
  std::cerr << "brisko-designer: impossibile aprire la finestra: nessuno schermo raggiungibile"
               " (per disegnare senza schermo: --render)\n";
  std::_Exit(kUsoErrato);
}

bool Impostata(const char* variabile) {
  const char* valore = std::getenv(variabile);
  return valore != nullptr && *valore != '\0';
}

int Progetta(int argc, char** argv, const std::filesystem::path& stato) {
  // The state first: a file that is no state is told as such, screen or not.
  std::error_code errore;
  if (std::filesystem::exists(stato, errore)) {
    try {
      (void)brisko::PropertyBagIni::Carica(stato);
    } catch (const brisko::ErroreControllo& e) {
      return StatoIllegibile(stato, e);
    }
  }
  if (!Impostata("QT_QPA_PLATFORM") && !Impostata("DISPLAY") && !Impostata("WAYLAND_DISPLAY")) {
    std::cerr << "brisko-designer: impossibile aprire la finestra: nessuno schermo (DISPLAY e "
                 "WAYLAND_DISPLAY non sono impostate; per disegnare senza schermo: --render)\n";
    return kUsoErrato;
  }
  const QtMessageHandler precedente = qInstallMessageHandler(SenzaSchermo);
  QApplication applicazione(argc, argv);
  qInstallMessageHandler(precedente);
  try {
    brisko::FinestraDesigner finestra(stato);
    finestra.show();
    finestra.Foglio().move(finestra.frameGeometry().topRight() + QPoint(8, 0));
    finestra.Foglio().show();
    return QApplication::exec();
  } catch (const brisko::ErroreControllo& e) {
    return StatoIllegibile(stato, e);
  }
}

}  // namespace

int main(int argc, char** argv) {
  platform::RiapriDescrittoriStandard();
  // A write past the file size limit (ulimit -f) fails with EFBIG and is
  // reported, rather than killing the designer with its temporary file left
  // and, in the window, the unsaved edits lost.
  (void)std::signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUso;
    return platform::UscitaStandardScritta(0, "brisko-designer: ");
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::cout << "brisko-designer " ORVANE_VERSIONE "\n";
    return platform::UscitaStandardScritta(0, "brisko-designer: ");
  }
  if (args.size() == 1 && !args[0].starts_with("--")) {
    return Progetta(argc, argv, std::filesystem::path(args[0]));
  }
  Richiesta richiesta;
  if (const auto errore = Leggi(args, richiesta)) {
    return UsoErrato(*errore);
  }
  // Rendering needs no screen.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication applicazione(argc, argv);
  return Disegna(richiesta);
}
