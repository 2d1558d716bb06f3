// The reference for Tervan's start-up: the least a Qt Widgets program does
// to show a window of Tervan's size, an 800x500 QLabel.
//
//   bench_finestra_minima

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication applicazione(argc, argv);
  QLabel finestra(QStringLiteral("Finestra minima"));
  finestra.setWindowTitle(QStringLiteral("Finestra minima"));
  finestra.resize(800, 500);
  finestra.show();
  return QApplication::exec();
}
