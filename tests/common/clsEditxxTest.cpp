#include "common/clsEditxx.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

#include <string>
#include <vector>

#include "tests/support/MacchinaFinta.h"

namespace orvane {
namespace {

/// A form with some of the command routines, which passes every key press
/// of its field through Form_KeyDown as a window does, swallowing the key
/// when KeyCode comes back 0.
class ModuloProva : public QWidget {
  Q_OBJECT

 public:
  ModuloProva() {
    auto* layout = new QVBoxLayout(this);
    campo = new QLineEdit(this);
    layout->addWidget(campo);
    campo->installEventFilter(this);
  }

  QLineEdit* campo = nullptr;
  clsEditxx edit;
  std::vector<std::string> chiamate;
  std::vector<int> inghiottiti;

 public slots:
  void Command_F3_Click() { chiamate.emplace_back("F3"); }
  void Command_F12_Click() { chiamate.emplace_back("F12"); }
  void Command_Esc_Click() { chiamate.emplace_back("Esc"); }

 protected:
  bool eventFilter(QObject* oggetto, QEvent* evento) override {
    if (evento->type() != QEvent::KeyPress) return QWidget::eventFilter(oggetto, evento);
    const int codice = CodiceTastoWindows(*static_cast<QKeyEvent*>(evento));
    int keyCode = codice;
    edit.Form_KeyDown(*this, keyCode, 0);
    if (keyCode != 0) return false;
    inghiottiti.push_back(codice);
    return true;
  }
};

void Premi(QWidget& w, Qt::Key tasto, Qt::KeyboardModifiers modificatori = Qt::NoModifier,
           const QString& testo = {}) {
  QKeyEvent evento(QEvent::KeyPress, tasto, modificatori, testo);
  QCoreApplication::sendEvent(&w, &evento);
}

// Function keys but F2, and Esc, call the form's routine of their name and
// are swallowed even where it has none; the keypad's decimal key (a point
// or a comma, by keyboard layout) leaves a comma unless the field's tag is
// a point.
TEST(clsEditxxTest, KeysCallTheFormsRoutinesAndTheKeypadPointTypesACommaUnlessTheTagIsAPoint) {
  struct Caso {
    Qt::Key tasto;
    Qt::KeyboardModifiers modificatori;
    QString testo;
    QVariant tag;
    std::vector<std::string> chiamate;
    std::vector<int> inghiottiti;
    QString atteso;
  };
  const Qt::KeyboardModifiers tastierino = Qt::KeypadModifier;
  const std::vector<Caso> casi = {
      {Qt::Key_F1, {}, "", {}, {}, {112}, "12"},
      {Qt::Key_F2, {}, "", {}, {}, {}, "12"},
      {Qt::Key_F3, {}, "", {}, {"F3"}, {114}, "12"},
      {Qt::Key_F12, {}, "", {}, {"F12"}, {123}, "12"},
      {Qt::Key_Escape, {}, "", {}, {"Esc"}, {27}, "12"},
      {Qt::Key_F13, {}, "", {}, {}, {}, "12"},
      {Qt::Key_A, {}, "a", {}, {}, {}, "12a"},
      {Qt::Key_Period, tastierino, ".", {}, {}, {}, "12,"},
      {Qt::Key_Comma, tastierino, ",", QString(""), {}, {}, "12,"},
      {Qt::Key_Period, tastierino, ".", QString("N"), {}, {}, "12,"},
      {Qt::Key_Period, tastierino, ".", QString("."), {}, {}, "12."},
      {Qt::Key_Period, {}, ".", {}, {}, {}, "12."},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(::testing::Message() << caso.tasto << (caso.modificatori ? " tastierino" : "")
                                      << " tag " << caso.tag.toString().toStdString());
    ModuloProva modulo;
    modulo.show();
    modulo.campo->setFocus();
    modulo.campo->setProperty("Tag", caso.tag);
    modulo.campo->setText("12");
    Premi(*modulo.campo, caso.tasto, caso.modificatori, caso.testo);
    QCoreApplication::processEvents();
    EXPECT_EQ(modulo.chiamate, caso.chiamate);
    EXPECT_EQ(modulo.inghiottiti, caso.inghiottiti);
    EXPECT_EQ(modulo.campo->text(), caso.atteso);
  }
}

TEST(clsEditxxTest, FocusHighlightsAndSelectsAndLeavingRestoresTheOneSavedColour) {
  test::MacchinaFinta macchina;
  QWidget modulo;
  QLineEdit primo("primo", &modulo);
  QLineEdit secondo("secondo", &modulo);
  QPalette p = primo.palette();
  p.setColor(QPalette::Base, QColor(200, 10, 10));
  primo.setPalette(p);
  p.setColor(QPalette::Base, QColor(10, 10, 200));
  secondo.setPalette(p);
  const QColor giallo(255, 255, 192);
  clsEditxx edit;

  edit.Text_GotFocus(primo);
  EXPECT_EQ(primo.palette().color(QPalette::Base), giallo);
  EXPECT_EQ(primo.selectedText(), "primo");
  edit.Text_GotFocus(secondo);
  EXPECT_EQ(secondo.selectedText(), "secondo");
  edit.Text_LostFocus(secondo);
  EXPECT_EQ(secondo.palette().color(QPalette::Base), QColor(10, 10, 200));
  // One saved colour per instance: the first field's is gone.
  edit.Text_LostFocus(primo);
  EXPECT_EQ(primo.palette().color(QPalette::Base), QColor(10, 10, 200));
  // Leaving a field before any focus gives the default background, not black.
  clsEditxx nuovo;
  nuovo.Text_LostFocus(primo);
  EXPECT_EQ(primo.palette().color(QPalette::Base),
            QApplication::palette(&primo).color(QPalette::Base));
  EXPECT_EQ(test::MacchinaFinta::Log(), "");
}

TEST(clsEditxxTest, ValidateNormalisesAndChecksEachType) {
  struct Caso {
    std::string txt, tipo, valori, ucasex, defaul, fornum, riempimento;
    std::string atteso;
    std::string txtDopo;  // the caller's text afterwards
  };
  const std::vector<Caso> casi = {
      // Dates, day/month/year, the slashes taken out of the caller's text.
      {"010105", "D", "", "N", "", "", "", "01/01/05", "010105"},
      {"01/01/2005", "D", "", "N", "", "", "", "01/01/2005", "01012005"},
      {"3/4/05", "D", "", "N", "", "", "", "", "3405"},
      {"310405", "D", "", "N", "", "", "", "", "310405"},
      {"290205", "D", "", "N", "", "", "", "", "290205"},
      {"290204", "D", "", "N", "", "", "", "29/02/04", "290204"},
      {"13/13/05", "D", "", "N", "oggi", "", "", "oggi", "131305"},
      {"0101205", "D", "", "N", "", "", "", "", "0101205"},
      {"", "D", "", "N", "", "", "", "", ""},
      {"010129", "D", "", "", "", "dd/mm/yyyy", "", "01/01/2029", "010129"},
      {"010130", "D", "", "", "", "Short Date", "", "01/01/1930", "010130"},
      {"010105", "D", "", "", "", "dddd d mmmm yyyy", "", "sabato 1 gennaio 2005", "010105"},
      {"010105", "D", "", "", "", "dd/mm/yy hh:mm", "", "01/01/05 00:00", "010105"},
      {"020105", "D", "", "", "", "ddd dd-mmm-yy w ww q y", "", "dom 02-gen-05 1 2 1 2", "020105"},
      // Numbers read as the Italian Windows reads them.
      {"12a", "N", "", "", "0", "", "", "0", "12a"},
      {"1.234,5", "N", "", "", "0", "", "", "1.234,5", "1.234,5"},
      {" -3 ", "N", "", "", "0", "", "", " -3 ", " -3 "},
      {"1,2,3", "N", "", "", "0", "", "", "0", "1,2,3"},
      {".5", "N", "", "", "0", "", "", "0", ".5"},
      {"1e400", "N", "", "", "0", "", "", "0", "1e400"},
      {"", "N", "", "", "0", "", "", "0", ""},
      {"1.234,5", "N", "", "", "", "#,##0.00", "", "1.234,50", "1.234,5"},
      {"1234567", "N", "", "", "", "Standard", "", "1.234.567,00", "1234567"},
      {"-0,5", "N", "", "", "", "0.00", "", "-0,50", "-0,5"},
      {"0,25", "N", "", "", "", "0%", "", "25%", "0,25"},
      {"-5", "N", "", "", "", "0.00;(0.00)", "", "(5,00)", "-5"},
      {"0", "N", "", "", "", "0;-0;\"zero\"", "", "zero", "0"},
      {"7", "N", "", "", "", "000", "", "007", "7"},
      {"0,5", "N", "", "", "", "#.##", "", ",5", "0,5"},
      // Times: points removed, hh.mm, no range check.
      {"12.30", "H", "", "", "", "", "", "12.30", "12.30"},
      {"9.5", "H", "", "", "", "", "", "95.00", "9.5"},
      {"1230", "H", "", "", "", "", "", "12.30", "1230"},
      {"0", "H", "", "", "", "", "", "00.00", "0"},
      {"8", "H", "", "", "", "", "", "8.00", "8"},
      {"12:30", "H", "", "", "x", "", "", "", "12:30"},
      // Coded text.
      {"SI", "A", "SI|NO|", "N", "X", "", "", "SI", "SI"},
      {"si", "A", "SI|NO|", "S", "X", "", "", "SI", "si"},
      {"si", "A", "SI|NO|", "N", "X", "", "", "X", "si"},
      {"no", "A", "SI|NO|", "S", "X", "", "", "NO", "no"},
      {"FORSE", "A", "SI|NO|", "S", "X", "", "", "X", "FORSE"},
      {"NO", "A", "SI|NO", "S", "X", "", "", "X", "NO"},
      {"", "A", "", "", "X", "", "", "X", ""},
      {"perché no", "A", "", "S", "", "", "_", "PERCHÉ_NO", "perché no"},
      {"ab", "A", "", "", "", "@@@@", "", "  ab", "ab"},
      {"ab", "A", "", "", "", "!@@@@", "", "ab  ", "ab"},
      {"Ab", "A", "", "", "", "<", "", "ab", "Ab"},
      {"12", "X", "", "", "0", "", "", "", "12"},
  };
  clsEditxx edit;
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.tipo + " " + caso.txt + " " + caso.fornum);
    std::string txt = caso.txt;
    EXPECT_EQ(edit.Validate(txt, caso.tipo, caso.valori, caso.ucasex, caso.defaul, caso.fornum,
                            caso.riempimento),
              caso.atteso);
    EXPECT_EQ(txt, caso.txtDopo);
  }
}

}  // namespace
}  // namespace orvane

#include "clsEditxxTest.moc"
