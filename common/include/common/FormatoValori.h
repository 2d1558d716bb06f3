#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane {

/// The number a text stands for when read as the Italian Windows reads
/// numbers typed by a user, independently of this process's locale: blanks
/// around it, an optional leading sign, digits in which "." groups thousands
/// (anywhere after the first digit: "1.234", "12.30" and "1.2.3" are
/// 1234, 1230 and 123), an optional "," followed by decimals, an optional
/// exponent (E or D, optional sign, digits); at least one digit. Not
/// understood: hexadecimal or octal forms, currency symbols, parentheses and
/// trailing signs. A number beyond the range of a double is not a number.
[[nodiscard]] std::optional<double> NumeroItaliano(std::string_view testo);

/// Whether the leading number of a text is zero, reading it as the
/// programming language's Val does (locale-independent: blanks skipped, an
/// optional sign, digits with "." as the decimal point, up to the first
/// other character; no number at all is zero).
[[nodiscard]] bool ValoreZero(std::string_view testo);

/// A calendar date.
struct Data {
  int giorno = 0;
  int mese = 0;
  int anno = 0;
  bool operator==(const Data&) const = default;
};

/// The date written as day/month/year with "/" between the three: day and
/// month of one or two digits, year of one, two or four digits (one or two
/// digits: 00-29 are 2000-2029, 30-99 are 1930-1999; four digits: 100 to
/// 9999), a day that exists in that month. Nothing else is a date.
[[nodiscard]] std::optional<Data> DataItaliana(std::string_view testo);

/// Formats a value with a format string as the programming language's Format
/// does in the Italian locale. Understood:
///  - a date value (DataItaliana) with a date format: the named formats
///    "General Date", "Short Date" (dd/mm/yyyy), "Medium Date" (dd-mmm-yy),
///    "Long Date" (dddd d mmmm yyyy), "Long Time", "Short Time", and custom
///    formats of d, dd, ddd, dddd, ddddd, dddddd, m, mm, mmm, mmmm, yy,
///    yyyy, y (day of the year), w, ww (weeks start on Sunday, the first
///    week holds 1 January), q, c, h, hh, n, nn, s, ss (the time is always
///    midnight; m after h means minutes) with Italian names;
///  - a number (NumeroItaliano) with a number format: the named formats
///    "General Number", "Fixed", "Standard", "Percent", and custom formats
///    of up to four sections (positive;negative;zero;empty) made of 0, #,
///    "." (decimal point, shown as ","), "," (thousands, shown as "."; just
///    before the decimal point or the end it divides by 1000) and %;
///    scientific formats are not understood (E stays a literal);
///  - any text with a text format: @ (a character or a space), & (a
///    character or nothing), < (lower case), > (upper case), ! (fill from
///    the left).
/// In every format \x and "..." are literal text. Any other pairing of value
/// and format gives the value unchanged, as does an empty format. Never
/// fails on odd input.
[[nodiscard]] std::string Formatta(std::string_view valore, std::string_view formato);

/// Upper and lower case of UTF-8 text (Unicode case mapping); bytes that are
/// not valid UTF-8 keep their value, ASCII letters among them mapped.
[[nodiscard]] std::string Maiuscolo(std::string_view testo);
[[nodiscard]] std::string Minuscolo(std::string_view testo);

}  // namespace orvane
