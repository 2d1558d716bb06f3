#include "platform/Finestre.h"

// GoogleTest before Xlib, whose macros (None, Bool, ...) would break it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

#include "common/basUtilxx.h"
#include "tests/support/MacchinaFinta.h"

extern char** environ;

namespace platform {
namespace {

using orvane::test::MacchinaFinta;

// A real X server of our own (Xvfb) for the length of the test, on a
// display number it picks itself.
class ServerX {
 public:
  ServerX() {
    std::array<int, 2> tubo{};
    if (::pipe(tubo.data()) != 0) return;
    const std::string fd = std::to_string(tubo[1]);
    std::array<std::string, 8> args{"Xvfb", "-displayfd", fd,  "-nolisten",
                                    "tcp",  "-screen",    "0", "320x240x24"};
    std::array<char*, 9> argv{};
    for (std::size_t i = 0; i < args.size(); ++i)
      argv.at(i) = args.at(i).data();
    posix_spawn_file_actions_t azioni;
    posix_spawn_file_actions_init(&azioni);
    posix_spawn_file_actions_addclose(&azioni, tubo[0]);
    posix_spawn_file_actions_addopen(&azioni, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&pid_, "Xvfb", &azioni, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&azioni);
    ::close(tubo[1]);
    if (rc != 0) {
      pid_ = -1;
      ::close(tubo[0]);
      return;
    }
    // The server writes its display number once it accepts clients.
    std::string numero;
    pollfd p{tubo[0], POLLIN, 0};
    while (::poll(&p, 1, 20000) > 0) {
      char c = 0;
      if (::read(tubo[0], &c, 1) != 1 || c == '\n') break;
      numero += c;
    }
    ::close(tubo[0]);
    if (!numero.empty()) display_ = ":" + numero;
  }
  ~ServerX() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int stato = 0;
      ::waitpid(pid_, &stato, 0);
    }
  }
  ServerX(const ServerX&) = delete;
  ServerX& operator=(const ServerX&) = delete;

  [[nodiscard]] bool Avviato() const { return pid_ > 0; }
  [[nodiscard]] const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

class FinestreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // One server per test program, started by the first test that needs it.
    static ServerX server;
    if (!server.Avviato()) GTEST_SKIP() << "Xvfb non disponibile";
    ASSERT_FALSE(server.Display().empty()) << "Xvfb non ha indicato il display";
    macchina_.Imposta("DISPLAY", server.Display());
    d_ = XOpenDisplay(server.Display().c_str());
    ASSERT_NE(d_, nullptr);
  }
  void TearDown() override {
    if (d_ != nullptr) XCloseDisplay(d_);
  }

  // A top-level window of this client, mapped, that takes part in the
  // close protocol.
  Window Finestra(Window padre = 0) {
    const Window w =
        XCreateSimpleWindow(d_, padre == 0 ? DefaultRootWindow(d_) : padre, 0, 0, 50, 50, 0, 0, 0);
    Atom cancella = XInternAtom(d_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d_, w, &cancella, 1);
    XMapWindow(d_, w);
    return w;
  }
  void NomeUtf8(Window w, const std::string& titolo) {
    XChangeProperty(d_, w, XInternAtom(d_, "_NET_WM_NAME", False),
                    XInternAtom(d_, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(titolo.data()),
                    static_cast<int>(titolo.size()));
  }
  // The window asked to close since the last call, if any.
  std::optional<Window> Chiusa() {
    XSync(d_, False);
    const Atom protocolli = XInternAtom(d_, "WM_PROTOCOLS", False);
    const auto cancella = static_cast<long>(XInternAtom(d_, "WM_DELETE_WINDOW", False));
    std::optional<Window> chiusa;
    while (XPending(d_) > 0) {
      XEvent e{};
      XNextEvent(d_, &e);
      if (e.type == ClientMessage && e.xclient.message_type == protocolli &&
          e.xclient.data.l[0] == cancella) {
        chiusa = e.xclient.window;
      }
    }
    return chiusa;
  }

  MacchinaFinta macchina_;
  Display* d_ = nullptr;
};

TEST_F(FinestreTest, WindowWithTheExactTitleIsAskedToCloseAndOthersAreLeftAlone) {
  const Window altra = Finestra();
  XStoreName(d_, altra, "Aggiornamenti Orvane Software - altro");
  const Window w = Finestra();
  XStoreName(d_, w, "Aggiornamenti Orvane Software");
  XSync(d_, False);

  EXPECT_FALSE(ChiudiFinestra("Aggiornamenti Orvane"));
  EXPECT_FALSE(ChiudiFinestra("aggiornamenti orvane software"));
  EXPECT_EQ(Chiusa(), std::nullopt);
  EXPECT_TRUE(ChiudiFinestra("Aggiornamenti Orvane Software"));
  EXPECT_EQ(Chiusa(), w);
}

TEST_F(FinestreTest, Utf8TitleWinsOverTheLegacyNameAndFramedClientsAreFound) {
  const Window w = Finestra();
  XStoreName(d_, w, "Vecchio nome");
  NomeUtf8(w, "Proprietà – Tervan");
  // A client inside a frame, as a window manager leaves it.
  const Window cornice = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 60, 60, 0, 0, 0);
  XMapWindow(d_, cornice);
  const Window cliente = Finestra(cornice);
  XStoreName(d_, cliente, "Cliente incorniciato");
  const std::array<long, 2> stato{1, 0};
  const Atom wmState = XInternAtom(d_, "WM_STATE", False);
  XChangeProperty(d_, cliente, wmState, wmState, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(stato.data()), 2);
  XSync(d_, False);

  EXPECT_FALSE(ChiudiFinestra("Vecchio nome"));
  EXPECT_TRUE(ChiudiFinestra("Proprietà – Tervan"));
  EXPECT_EQ(Chiusa(), w);
  EXPECT_TRUE(ChiudiFinestra("Cliente incorniciato"));
  EXPECT_EQ(Chiusa(), cliente);
}

TEST_F(FinestreTest, CloseApplicationWithNoMatchingWindowDoesNothing) {
  const Window w = Finestra();
  XStoreName(d_, w, "Tervan");
  XSync(d_, False);
  orvane::CloseApplication("Nessuna finestra con questo titolo");
  EXPECT_EQ(Chiusa(), std::nullopt);
  orvane::CloseApplication("Tervan");
  EXPECT_EQ(Chiusa(), w);
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

}  // namespace
}  // namespace platform
