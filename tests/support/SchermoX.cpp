#include "tests/support/SchermoX.h"

// Xlib last: its macros (None, Bool, Status...) clash with other headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <thread>

namespace orvane::test {
namespace {

::Display* D(void* d) {
  return static_cast<::Display*>(d);
}

// The title as _NET_WM_NAME (UTF-8) gives it, else as WM_NAME does.
std::string Titolo(::Display* d, Window w) {
  for (const char* proprieta : {"_NET_WM_NAME", "WM_NAME"}) {
    Atom tipo = 0;
    int formato = 0;
    unsigned long n = 0, resto = 0;
    unsigned char* dati = nullptr;
    if (XGetWindowProperty(d, w, XInternAtom(d, proprieta, False), 0, 4096, False, AnyPropertyType,
                           &tipo, &formato, &n, &resto, &dati) != Success ||
        dati == nullptr)
      continue;
    std::string titolo(reinterpret_cast<const char*>(dati), n);
    XFree(dati);
    if (!titolo.empty()) return titolo;
  }
  return "";
}

}  // namespace

SchermoX::SchermoX(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}

SchermoX::~SchermoX() {
  if (display_ != nullptr) XCloseDisplay(D(display_));
}

std::optional<unsigned long> SchermoX::Finestra(const std::string& titolo,
                                                std::chrono::milliseconds attesa) {
  ::Display* d = D(display_);
  const auto limite = std::chrono::steady_clock::now() + attesa;
  do {
    Window radice = 0, padre = 0;
    Window* figli = nullptr;
    unsigned int n = 0;
    std::optional<unsigned long> trovata;
    if (XQueryTree(d, DefaultRootWindow(d), &radice, &padre, &figli, &n) != 0) {
      for (unsigned int i = 0; i < n && !trovata; ++i) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(d, figli[i], &a) != 0 && a.map_state == IsViewable &&
            Titolo(d, figli[i]) == titolo) {
          trovata = figli[i];
        }
      }
      if (figli != nullptr) XFree(figli);
    }
    if (trovata) return trovata;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < limite);
  return std::nullopt;
}

bool SchermoX::Premi(unsigned long finestra, const std::string& tasto) {
  ::Display* d = D(display_);
  const KeySym simbolo = XStringToKeysym(tasto.c_str());
  if (simbolo == NoSymbol) return false;
  XEvent e{};
  e.xkey.display = d;
  e.xkey.window = finestra;
  e.xkey.root = DefaultRootWindow(d);
  e.xkey.same_screen = True;
  e.xkey.keycode = XKeysymToKeycode(d, simbolo);
  // The window takes the focus first, as a click on it would give.
  XSetInputFocus(d, finestra, RevertToParent, CurrentTime);
  for (const int tipo : {KeyPress, KeyRelease}) {
    e.type = tipo;
    const long maschera = tipo == KeyPress ? KeyPressMask : KeyReleaseMask;
    if (XSendEvent(d, finestra, True, maschera, &e) == 0) return false;
  }
  XSync(d, False);
  return true;
}

QImage SchermoX::Schermata() {
  ::Display* d = D(display_);
  XWindowAttributes a{};
  XGetWindowAttributes(d, DefaultRootWindow(d), &a);
  XImage* x = XGetImage(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(a.width),
                        static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
  // A 24-bit screen keeps each pixel in 32 bits as 0x00RRGGBB, as QImage does.
  QImage immagine;
  if (x != nullptr && x->bits_per_pixel == 32) {
    immagine = QImage(reinterpret_cast<const uchar*>(x->data), a.width, a.height, x->bytes_per_line,
                      QImage::Format_RGB32)
                   .copy();
  }
  if (x != nullptr) XDestroyImage(x);
  return immagine;
}

std::optional<QRect> SchermoX::Area(unsigned long finestra) {
  ::Display* d = D(display_);
  XWindowAttributes a{};
  if (XGetWindowAttributes(d, finestra, &a) == 0) return std::nullopt;
  int x = 0;
  int y = 0;
  Window figlio = 0;
  if (XTranslateCoordinates(d, finestra, DefaultRootWindow(d), 0, 0, &x, &y, &figlio) == 0)
    return std::nullopt;
  return QRect(x, y, a.width, a.height);
}

bool SchermoX::OccupaAreaNotifica() {
  ::Display* d = D(display_);
  if (d == nullptr) return false;
  const Window radice = DefaultRootWindow(d);
  const Window area = XCreateSimpleWindow(d, radice, 0, 0, 1, 1, 0, 0, 0);
  const Atom selezione = XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False);
  XSetSelectionOwner(d, selezione, area, CurrentTime);
  // Clients already running learn of the new area from MANAGER.
  XEvent annuncio{};
  annuncio.xclient.type = ClientMessage;
  annuncio.xclient.window = radice;
  annuncio.xclient.message_type = XInternAtom(d, "MANAGER", False);
  annuncio.xclient.format = 32;
  annuncio.xclient.data.l[0] = CurrentTime;
  annuncio.xclient.data.l[1] = static_cast<long>(selezione);
  annuncio.xclient.data.l[2] = static_cast<long>(area);
  XSendEvent(d, radice, False, StructureNotifyMask, &annuncio);
  XSync(d, False);
  return XGetSelectionOwner(d, selezione) == area;
}

}  // namespace orvane::test
