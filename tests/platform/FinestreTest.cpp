#include "platform/Finestre.h"

// GoogleTest before Xlib, whose macros (None, Bool, ...) would break it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <array>
#include <optional>
#include <string>

#include "common/basUtilxx.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/ServerX.h"

namespace platform {
namespace {

using orvane::test::MacchinaFinta;

class FinestreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // One server per test program, started by the first test that needs it.
    static orvane::test::ServerX server;
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

TEST_F(FinestreTest, OnlyTheWindowWithTheExactTitleIsAskedToCloseFramedOrNot) {
  const Window altra = Finestra();
  XStoreName(d_, altra, "Aggiornamenti Orvane Software - altro");
  const Window w = Finestra();
  XStoreName(d_, w, "Aggiornamenti Orvane Software");
  // The UTF-8 title wins over the legacy name.
  const Window utf8 = Finestra();
  XStoreName(d_, utf8, "Vecchio nome");
  const std::string titolo = "Proprietà – Tervan";
  XChangeProperty(d_, utf8, XInternAtom(d_, "_NET_WM_NAME", False),
                  XInternAtom(d_, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(titolo.data()),
                  static_cast<int>(titolo.size()));
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

  EXPECT_FALSE(ChiudiFinestra("Aggiornamenti Orvane"));
  EXPECT_FALSE(ChiudiFinestra("aggiornamenti orvane software"));
  EXPECT_FALSE(ChiudiFinestra("Vecchio nome"));
  orvane::CloseApplication("Nessuna finestra con questo titolo");
  EXPECT_EQ(Chiusa(), std::nullopt);
  EXPECT_TRUE(ChiudiFinestra("Aggiornamenti Orvane Software"));
  EXPECT_EQ(Chiusa(), w);
  orvane::CloseApplication("Aggiornamenti Orvane Software");
  EXPECT_EQ(Chiusa(), w);
  EXPECT_TRUE(ChiudiFinestra(titolo));
  EXPECT_EQ(Chiusa(), utf8);
  EXPECT_TRUE(ChiudiFinestra("Cliente incorniciato"));
  EXPECT_EQ(Chiusa(), cliente);
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

}  // namespace
}  // namespace platform
