// The end-to-end tests run real programs; the test process itself only
// needs an event loop for the stand-in desktop services it offers.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication applicazione(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
