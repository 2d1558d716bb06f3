// The main of every test program that needs Qt: a real application on the
// offscreen platform unless the environment names another, with an event
// loop for the widgets under test and for the stand-in desktop services the
// end-to-end tests offer. Programs the tests start set their own platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication applicazione(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
