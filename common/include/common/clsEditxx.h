#pragma once

#include <cstdint>
#include <string>

class QComboBox;
class QKeyEvent;
class QLineEdit;
class QWidget;

namespace orvane {

/// Uniform keyboard and focus behaviour of a form and its entry fields:
/// function keys and Esc run the form's command routines by name, the
/// keypad's decimal key types a comma, a field that gains the focus is
/// highlighted with its text selected, and typed values are normalised and
/// checked by type. A form keeps one instance for its lifetime.
class clsEditxx {
 public:
  /// Opens the list of the combo box.
  void DropDown_ComboBox(QComboBox& c);

  /// The form's key-down handling. `KeyCode` is a Windows virtual-key code
  /// (CodiceTastoWindows): F1 and F3 to F12 call the form's
  /// "Command_F<n>_Click", Esc its "Command_Esc_Click" (slots or
  /// Q_INVOKABLE methods without arguments, called synchronously), and set
  /// `KeyCode` to 0, so that the caller swallows the key, whether or not the
  /// form has the routine. The keypad decimal point (110) queues a backspace
  /// and a comma to the form's focus widget, processed after the handler
  /// returns, unless that widget's "Tag" property is ".": the field ends up
  /// with a comma where the point was typed. F2 and every other key are left
  /// alone. `Shift` is not used. Failures are ignored step by step.
  void Form_KeyDown(QWidget& frm, int& KeyCode, int Shift);

  /// Saves the field's background (the palette's Base colour, one saved
  /// colour per instance), selects the whole text and paints the
  /// background light yellow (RGB 255, 255, 192). Failures are ignored step
  /// by step.
  void Text_GotFocus(QLineEdit& t);

  /// Gives the field back the background saved by the latest Text_GotFocus.
  /// Before any Text_GotFocus the field gets the application's default
  /// background.
  void Text_LostFocus(QLineEdit& t) const;

  /// Normalises and checks a typed value by its type `TipoXx`:
  ///  - "N" (number): `txt` when numeric, else `defaul`;
  ///  - "D" (date): every "/" is removed from `txt` (the caller's text
  ///    changes), the rest is read as dd/mm/rest ("010105" gives
  ///    "01/01/05"); a valid day/month/year date is the result, else
  ///    `defaul`;
  ///  - "H" (time): `txt` without its points, read as hh.mm ("9.5" gives
  ///    "95.00"); "" when `txt` is not numeric;
  ///  - "A" (coded text): `txt` (upper case when `ucasex` is "S"), which must
  ///    equal one of the items of `valori` ("SI|NO|": each item ended by
  ///    "|") unless `valori` is empty, and must not be empty, else `defaul`;
  ///    spaces become `CarattereRiempimento` when that is given;
  ///  - any other type: "".
  /// For "N", "D" and "A" the result is formatted with `Fornum` when that is
  /// given (see Formatta for the formats understood).
  ///
  /// "Numeric" reads the text as the Italian Windows does: "." groups
  /// thousands and "," is the decimal separator (see NumeroItaliano), so
  /// "12.30" is the number 1230. Dates are day/month/year; a year of one or
  /// two digits means 2000-2029 for 00-29 and 1930-1999 for 30-99.
  /// A failure is logged (clsEditxx, Validate) and the result computed so
  /// far is returned.
  std::string Validate(std::string& txt, const std::string& TipoXx, const std::string& valori = {},
                       const std::string& ucasex = {}, const std::string& defaul = {},
                       const std::string& Fornum = {},
                       const std::string& CarattereRiempimento = {});

 private:
  /// The background saved by Text_GotFocus, as an OLE colour (0x00BBGGRR).
  std::uint32_t colore_ = 0;
  bool coloreSalvato_ = false;
};

/// The Windows virtual-key code of a Qt key event, as the form's key
/// handling speaks it: F1 to F24 112-135, Esc 27, Enter and Return 13, the
/// keypad decimal key 110 (whether the layout gives it a point or a comma),
/// keypad digits 96-105, letters and digits their ASCII codes, arrows
/// 37-40, and so on; 0 for a key without a code.
[[nodiscard]] int CodiceTastoWindows(const QKeyEvent& e);

}  // namespace orvane
