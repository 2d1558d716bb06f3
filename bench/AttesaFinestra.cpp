// Starts a program and waits for its first top-level window to be mapped on
// the X display, as a user sees the window appear.
//
//   bench_attesa_finestra [--resta MS] PROGRAM [ARG...]
//
// Prints one line "MS_AL_MAPPA RSS_KB MAPPA": the milliseconds from just
// before exec to the MapNotify of a window whose _NET_WM_PID is the
// program's (or its child's, for a program started through a tracer), and
// the program's resident memory MS (default 1500) milliseconds after the
// map, once its first paint and idle work are done, and the wall-clock time
// of the map in seconds since the epoch. It then ends the program
// with SIGTERM, as a desktop session ends it. Exits 1 when the program ends
// or no window appears within 30 s.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

using Orologio = std::chrono::steady_clock;

long RssKb(pid_t pid) {
  std::ifstream stato("/proc/" + std::to_string(pid) + "/status");
  std::string riga;
  while (std::getline(stato, riga))
    if (riga.rfind("VmRSS:", 0) == 0) return std::strtol(riga.c_str() + 6, nullptr, 10);
  return -1;
}

// The _NET_WM_PID of a window, or 0.
pid_t PidFinestra(Display* d, Window w) {
  static const Atom netWmPid = XInternAtom(d, "_NET_WM_PID", False);
  Atom tipo = None;
  int formato = 0;
  unsigned long n = 0;
  unsigned long resto = 0;
  unsigned char* dati = nullptr;
  pid_t pid = 0;
  if (XGetWindowProperty(d, w, netWmPid, 0, 1, False, XA_CARDINAL, &tipo, &formato, &n, &resto,
                         &dati) == Success &&
      dati != nullptr && n == 1 && formato == 32)
    pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(dati));
  if (dati != nullptr) XFree(dati);
  return pid;
}

// The parent of a process, or 0.
pid_t Genitore(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string riga;
  std::getline(stat, riga);
  // "pid (name) state ppid ...": the name may hold blanks and parentheses.
  const auto fine = riga.rfind(')');
  if (fine == std::string::npos) return 0;
  char stato = 0;
  int genitore = 0;
  return std::sscanf(riga.c_str() + fine + 1, " %c %d", &stato, &genitore) == 2 ? genitore : 0;
}

// The program's process that owns the window, or 0.
pid_t DelProgramma(Display* d, Window w, pid_t figlio) {
  const pid_t pid = PidFinestra(d, w);
  return pid != 0 && (pid == figlio || Genitore(pid) == figlio) ? pid : 0;
}

int Ignora(Display*, XErrorEvent*) {
  return 0;
}  // a window gone before we asked

}  // namespace

int main(int argc, char** argv) {
  int primo = 1;
  long resta = 1500;
  if (argc > 2 && std::strcmp(argv[1], "--resta") == 0) {
    resta = std::strtol(argv[2], nullptr, 10);
    primo = 3;
  }
  if (primo >= argc) {
    std::fprintf(stderr, "uso: %s [--resta MS] PROGRAMMA [ARGOMENTI...]\n", argv[0]);
    return 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) {
    std::fprintf(stderr, "nessun display X\n");
    return 2;
  }
  XSetErrorHandler(Ignora);
  // Every new top-level window is announced on the root window; its own map
  // is then reported on the window itself, wherever a window manager puts it.
  XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
  XSync(d, False);

  const auto inizio = Orologio::now();
  const pid_t figlio = fork();
  if (figlio == 0) {
    execvp(argv[primo], argv + primo);
    _exit(127);
  }
  if (figlio < 0) return 2;

  pid_t programma = 0;  // whose window was mapped
  const auto limite = inizio + std::chrono::seconds(30);
  while (programma == 0 && Orologio::now() < limite) {
    if (XPending(d) == 0) {
      pollfd p{ConnectionNumber(d), POLLIN, 0};
      (void)poll(&p, 1, 100);
      if (waitpid(figlio, nullptr, WNOHANG) == figlio) {
        std::fprintf(stderr, "il programma è terminato senza mostrare una finestra\n");
        return 1;
      }
      continue;
    }
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == CreateNotify && e.xcreatewindow.parent == DefaultRootWindow(d)) {
      XSelectInput(d, e.xcreatewindow.window, StructureNotifyMask);
      XWindowAttributes a;
      // Mapped before we started listening to it.
      if (XGetWindowAttributes(d, e.xcreatewindow.window, &a) != 0 && a.map_state != IsUnmapped)
        programma = DelProgramma(d, e.xcreatewindow.window, figlio);
    } else if (e.type == MapNotify && e.xmap.event == e.xmap.window && !e.xmap.override_redirect) {
      programma = DelProgramma(d, e.xmap.window, figlio);
    }
  }
  const auto mappa = Orologio::now();
  const double mappaEpoca =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  if (programma == 0) {
    std::fprintf(stderr, "nessuna finestra in 30 s\n");
    kill(figlio, SIGKILL);
    waitpid(figlio, nullptr, 0);
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(resta));
  const long rss = RssKb(programma);
  // The program itself, not a tracer it runs under, which would let it go.
  kill(programma, SIGTERM);
  int stato = 0;
  waitpid(figlio, &stato, 0);
  XCloseDisplay(d);
  std::printf("%.1f %ld %.6f\n", std::chrono::duration<double, std::milli>(mappa - inizio).count(),
              rss, mappaEpoca);
  return 0;
}
