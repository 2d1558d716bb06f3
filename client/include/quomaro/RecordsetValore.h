#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "quomaro/Esporta.h"

namespace quomaro {

/// A calendar date and a time of day as recordsets carry them, without a
/// time zone. A time-only value has year, month and day 0.
struct QUOMARO_API DataOra {
  int anno = 0;
  int mese = 0;
  int giorno = 0;
  int ore = 0;
  int minuti = 0;
  int secondi = 0;
  int nanosecondi = 0;

  friend auto operator<=>(const DataOra&, const DataOra&) = default;

  /// Reads "yyyy-mm-dd", "yyyy-mm-ddThh:mm[:ss[.fffffffff]]" (a blank may
  /// stand for the T; a time-zone suffix "Z", "+hh:mm" or "-hh:mm" is accepted
  /// and ignored) or a time alone "hh:mm[:ss[.f]]". Nothing for any other text
  /// or for an impossible date (30 February, hour 24, ...).
  [[nodiscard]] static std::optional<DataOra> Leggi(std::string_view testo);

  /// "yyyy-mm-ddThh:mm:ss", followed by the fraction of the second when there
  /// is one.
  [[nodiscard]] std::string Testo() const;
};

/// Family of a column's declared type, which decides how its values are read,
/// compared and sorted.
enum class TipoCampo {
  Testo,     ///< string, uuid, bin.hex, char and every type not listed below
  Intero,    ///< int, i1, i2, i4, i8, ui1, ui2, ui4, ui8
  Decimale,  ///< number, float, r4, r8, fixed.14.4
  Booleano,  ///< boolean
  DataOra,   ///< dateTime, dateTime.tz, date, time, time.tz
};

/// The family of a declared type name (the persisted dt:type).
[[nodiscard]] QUOMARO_API TipoCampo FamigliaDelTipo(std::string_view tipo);

/// The value of one field of the current record.
///
/// A value keeps the text it was persisted with. When that text reads as the
/// column's declared type the value is "conforming" and its typed accessors
/// answer; a text that does not read as its type is kept as text (never an
/// error). NULL is a value of its own, distinct from the empty text.
class QUOMARO_API Valore {
 public:
  /// NULL of a text column.
  Valore() = default;
  /// A value of a column of family `tipo`, as persisted; nothing is NULL.
  Valore(TipoCampo tipo, std::optional<std::string> testo);

  [[nodiscard]] TipoCampo Tipo() const noexcept { return tipo_; }
  [[nodiscard]] bool Nullo() const noexcept { return nullo_; }
  /// Not NULL and readable as the declared type (a text column always is).
  [[nodiscard]] bool Conforme() const noexcept;
  /// The value as persisted; empty for NULL.
  [[nodiscard]] const std::string& Testo() const noexcept { return testo_; }

  /// The value as a whole number: a conforming integer, a decimal without a
  /// fraction, or a text that is exactly a whole number. Nothing otherwise.
  [[nodiscard]] std::optional<long long> Intero() const;
  /// The value as a number: a conforming integer or decimal, or a text that
  /// is exactly a number. Nothing otherwise.
  [[nodiscard]] std::optional<double> Numero() const;
  /// The value as a truth value: a conforming boolean, or a text reading
  /// "true"/"false"/"1"/"0"/"-1" in any case. Nothing otherwise.
  [[nodiscard]] std::optional<bool> Booleano() const;
  /// The value as a date and time: a conforming date, or a text that reads
  /// as one (see DataOra::Leggi). Nothing otherwise.
  [[nodiscard]] std::optional<DataOra> Data() const;

  /// Order used by Recordset::Sort: NULL first, then conforming values by
  /// their typed value (texts without regard to case), then values kept as
  /// text by their text. Negative, zero or positive.
  [[nodiscard]] static int Confronta(const Valore& a, const Valore& b);

 private:
  TipoCampo tipo_ = TipoCampo::Testo;
  bool nullo_ = true;
  std::string testo_;
  std::variant<std::monostate, long long, double, bool, DataOra> dato_;
};

}  // namespace quomaro
