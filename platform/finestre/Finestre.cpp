#include "platform/Finestre.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {
namespace {

struct ChiudiDisplay {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, ChiudiDisplay>;

struct LiberaX {
  void operator()(void* p) const {
    if (p != nullptr) XFree(p);
  }
};
using MemoriaX = std::unique_ptr<unsigned char, LiberaX>;

// Windows come and go while they are looked at: errors about a window that
// has just gone are expected and ignored.
int IgnoraErrore(Display* /*display*/, XErrorEvent* /*errore*/) {
  return 0;
}

// The error handler is process-wide: swapped under a lock, for the lookup only.
std::mutex g_mutex;

class GestoreErrori {
 public:
  GestoreErrori() : precedente_(XSetErrorHandler(IgnoraErrore)) {}
  ~GestoreErrori() { XSetErrorHandler(precedente_); }
  GestoreErrori(const GestoreErrori&) = delete;
  GestoreErrori& operator=(const GestoreErrori&) = delete;

 private:
  XErrorHandler precedente_;
};

std::string Latin1InUtf8(const unsigned char* testo, unsigned long lunghezza) {
  std::string out;
  for (unsigned long i = 0; i < lunghezza; ++i) {
    const unsigned char c = testo[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6U));
      out += static_cast<char>(0x80 | (c & 0x3FU));
    }
  }
  return out;
}

class Schermo {
 public:
  explicit Schermo(Display* d)
      : d_(d),
        utf8_(XInternAtom(d, "UTF8_STRING", False)),
        netWmName_(XInternAtom(d, "_NET_WM_NAME", False)),
        wmState_(XInternAtom(d, "WM_STATE", False)),
        clientList_(XInternAtom(d, "_NET_CLIENT_LIST", False)) {}

  // The title of a window in UTF-8, std::nullopt when it has none.
  [[nodiscard]] std::optional<std::string> Titolo(Window w) const {
    Atom tipo = None;
    int formato = 0;
    unsigned long n = 0;
    unsigned long resto = 0;
    unsigned char* dati = nullptr;
    if (XGetWindowProperty(d_, w, netWmName_, 0, 65536, False, utf8_, &tipo, &formato, &n, &resto,
                           &dati) == Success) {
      const MemoriaX proprieta(dati);
      if (tipo == utf8_ && formato == 8 && dati != nullptr) {
        return std::string(reinterpret_cast<const char*>(dati), n);
      }
    }
    XTextProperty testo{};
    if (XGetWMName(d_, w, &testo) == 0 || testo.value == nullptr) return std::nullopt;
    const MemoriaX valore(testo.value);
    if (testo.format != 8) return std::nullopt;
    if (testo.encoding == XA_STRING) return Latin1InUtf8(testo.value, testo.nitems);
    if (testo.encoding == utf8_) {
      return std::string(reinterpret_cast<const char*>(testo.value), testo.nitems);
    }
    char** lista = nullptr;
    int quanti = 0;
    if (Xutf8TextPropertyToTextList(d_, &testo, &lista, &quanti) == Success && quanti > 0) {
      std::string t(lista[0]);
      XFreeStringList(lista);
      return t;
    }
    return std::string(reinterpret_cast<const char*>(testo.value), testo.nitems);
  }

  // Top-level windows: the window manager's client list, then the children
  // of the root and, below frames that a window manager put around them,
  // the client windows (those with WM_STATE).
  [[nodiscard]] std::vector<Window> FinestrePrincipali() const {
    std::vector<Window> finestre;
    const Window radice = DefaultRootWindow(d_);
    Atom tipo = None;
    int formato = 0;
    unsigned long n = 0;
    unsigned long resto = 0;
    unsigned char* dati = nullptr;
    if (XGetWindowProperty(d_, radice, clientList_, 0, 65536, False, XA_WINDOW, &tipo, &formato, &n,
                           &resto, &dati) == Success) {
      const MemoriaX proprieta(dati);
      if (tipo == XA_WINDOW && formato == 32 && dati != nullptr) {
        // Format 32 properties come as an array of long.
        const auto* elenco = reinterpret_cast<const unsigned long*>(dati);
        finestre.assign(elenco, elenco + n);
      }
    }
    for (const Window w : Figli(radice)) {
      finestre.push_back(w);
      if (!HaProprieta(w, wmState_)) {
        for (const Window c : Figli(w)) {
          if (HaProprieta(c, wmState_)) finestre.push_back(c);
        }
      }
    }
    return finestre;
  }

  void ChiediChiusura(Window w) const {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d_, w, False, NoEventMask, &e);
    XFlush(d_);
  }

 private:
  [[nodiscard]] std::vector<Window> Figli(Window w) const {
    Window radice = 0;
    Window padre = 0;
    Window* figli = nullptr;
    unsigned int n = 0;
    if (XQueryTree(d_, w, &radice, &padre, &figli, &n) == 0) return {};
    std::vector<Window> out(figli, figli + n);
    if (figli != nullptr) XFree(figli);
    return out;
  }

  [[nodiscard]] bool HaProprieta(Window w, Atom proprieta) const {
    Atom tipo = None;
    int formato = 0;
    unsigned long n = 0;
    unsigned long resto = 0;
    unsigned char* dati = nullptr;
    const int r = XGetWindowProperty(d_, w, proprieta, 0, 0, False, AnyPropertyType, &tipo,
                                     &formato, &n, &resto, &dati);
    const MemoriaX libera(dati);
    return r == Success && tipo != None;
  }

  Display* d_;
  Atom utf8_;
  Atom netWmName_;
  Atom wmState_;
  Atom clientList_;
};

}  // namespace

bool ChiudiFinestra(const std::string& titolo) {
  const std::scoped_lock lock(g_mutex);
  const GestoreErrori errori;
  const DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) return false;
  const Schermo schermo(display.get());
  for (const Window w : schermo.FinestrePrincipali()) {
    if (schermo.Titolo(w) == titolo) {
      schermo.ChiediChiusura(w);
      // Errors of the lookup arrive before the handler is put back.
      XSync(display.get(), False);
      return true;
    }
  }
  XSync(display.get(), False);
  return false;
}

}  // namespace platform
