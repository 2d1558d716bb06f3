#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quomaro/Esporta.h"
#include "quomaro/RecordsetValore.h"

namespace quomaro {

/// One column of a recordset: its real name and its declared type, one of
/// the persisted dt:type names ("string", "int", "dateTime", ...).
struct Colonna {
  std::string nome;
  std::string tipo = "string";
};

/// A disconnected recordset, read from and written to the XML persistence
/// format of the data-access layer: a root `xml` element holding the rowset
/// schema (`s:Schema id="RowsetSchema"` with one typed `s:AttributeType` per
/// column) and the rows (`rs:data` with one `z:row` per row, a missing
/// attribute being NULL). Namespaces are recognised by their URI, whatever
/// prefix a document gives them.
///
/// It offers what clients of the update service use: the state, a cursor
/// that moves forward from the first record, fields by name (without regard
/// to case) or position, a stable type-aware sort, a filter, and saving back
/// to the same format. The service builds its answers with Crea and
/// AggiungiRiga.
///
/// A recordset is closed (State 0) until it is opened, and stays closed when
/// the text given to Apri is not a complete, consistent recordset: it is
/// never left partly open. On a closed recordset BOF and EOF_ are true and
/// RecordCount is 0; Campo, Sort, Filter, AggiungiRiga and Save throw
/// std::logic_error, as asking a closed object is a caller's mistake.
class QUOMARO_API Recordset {
 public:
  static constexpr int adStateClosed = 0;
  static constexpr int adStateOpen = 1;

  Recordset();
  ~Recordset();
  Recordset(const Recordset& altro);
  Recordset& operator=(const Recordset& altro);
  Recordset(Recordset&& altro) noexcept;
  Recordset& operator=(Recordset&& altro) noexcept;

  /// Opens the recordset from persisted text, closing it first. Returns
  /// whether it is open; empty text, text that is not XML, XML of another
  /// shape, and rows that do not match the schema (unknown or repeated
  /// attributes) leave it closed. The cursor rests on the first record.
  bool Apri(std::string_view xml);

  /// Opens an empty recordset with these columns, closing it first. Column
  /// names must be non-empty and distinct without regard to case; a name that
  /// is not a valid XML name is persisted encoded, its real name beside it.
  /// Throws std::invalid_argument otherwise (the recordset stays closed).
  void Crea(const std::vector<Colonna>& colonne);

  /// Appends a record: one value per column, in column order, as persisted
  /// text (nothing = NULL). Dates, booleans and whole numbers that read as
  /// their column's type are stored in their canonical form (dates
  /// "yyyy-mm-ddThh:mm:ss"); anything else is kept as given. The sort and
  /// filter in force apply and the cursor returns to the first record.
  /// Throws std::invalid_argument when the count of values is wrong.
  void AggiungiRiga(const std::vector<std::optional<std::string>>& valori);

  /// Closes the recordset, dropping its columns and records.
  void Chiudi() noexcept;

  /// The records visible through the filter, in the current order, persisted
  /// in the same format Apri reads.
  [[nodiscard]] std::string Save() const;

  /// adStateOpen (1) or adStateClosed (0).
  [[nodiscard]] int State() const noexcept;
  /// True when no record is visible (or the recordset is closed).
  [[nodiscard]] bool BOF() const noexcept;
  /// True when the cursor is past the last visible record (or no record is
  /// visible, or the recordset is closed). Named with a trailing underscore
  /// because the C library defines EOF as a macro.
  [[nodiscard]] bool EOF_() const noexcept;
  /// Number of records visible through the filter; 0 when closed.
  [[nodiscard]] long RecordCount() const noexcept;
  /// Moves to the first visible record (nothing to do when there is none).
  void MoveFirst() noexcept;
  /// Moves to the next visible record; past the last one EOF_ becomes true.
  /// Moving on from EOF_ leaves the cursor there.
  void MoveNext() noexcept;

  /// The field of the current record with this column name (without regard
  /// to case). Throws std::out_of_range for an unknown column or when there
  /// is no current record (BOF or EOF_).
  [[nodiscard]] Valore Campo(std::string_view nome) const;
  /// The field of the current record at this column position (from 0).
  [[nodiscard]] Valore Campo(std::size_t indice) const;
  /// Whether a column of this name exists (without regard to case).
  [[nodiscard]] bool EsisteCampo(std::string_view nome) const;
  /// The columns, in order; empty when closed.
  [[nodiscard]] std::vector<Colonna> Colonne() const;

  /// Orders the records by "col [ASC|DESC][, col [ASC|DESC]...]" (a name may
  /// be written in square brackets), comparing values by their column's type:
  /// dates as dates, numbers as numbers, texts without regard to case, NULL
  /// first. The sort is stable: records with equal keys keep their order. ""
  /// restores the original order. The cursor returns to the first record.
  /// Throws std::invalid_argument for an unknown column or bad syntax, and
  /// then keeps the order in force.
  void Sort(std::string_view criterio);
  [[nodiscard]] const std::string& Sort() const noexcept;

  /// Shows only the records meeting "col op value" clauses joined by AND
  /// and OR (AND binds tighter; parentheses group). Operators: = <> < > <= >=
  /// LIKE (with * or % as wildcards); values: 'text' (a quote doubled
  /// inside), #date#, numbers, NULL (with = and <> only). Comparisons follow
  /// the column's type, texts without regard to case. "" shows every record.
  /// The cursor returns to the first visible record. Throws
  /// std::invalid_argument for an unknown column, bad syntax or a value that
  /// does not fit the column's type, and then keeps the filter in force.
  void Filter(std::string_view criterio);
  [[nodiscard]] const std::string& Filter() const noexcept;

 private:
  class Stato;
  std::unique_ptr<Stato> stato_;
};

}  // namespace quomaro
