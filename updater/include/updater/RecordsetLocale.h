#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/ConnessioneArchivio.h"

namespace tervan {

/// A view of rows of the local store, read into memory when it is opened.
///
/// Opened on a table it is updatable: a filter of the form "col='value'"
/// selects rows (setting the filter re-reads them from the store, so rows
/// deleted by a statement leave the view at the next filter or reopen), rows
/// can be added, their columns set and the pending change saved or
/// cancelled. Opened on a query it is read-only. Every value is read and
/// written as text; NULL reads as "". Values are always bound as parameters.
///
/// Failures are thrown as orvane::Errore with the data-access layer's
/// numbers, for the calling routine's failure handler.
class RecordsetLocale {
 public:
  /// A view of the whole table `tabella` (a fixed name of the system). The
  /// view shares the connection: it stays usable however long it is held.
  static RecordsetLocale Tabella(std::shared_ptr<ConnessioneArchivio> connessione,
                                 std::string tabella);
  /// A read-only view of the rows of a fixed query text.
  static RecordsetLocale Query(std::shared_ptr<ConnessioneArchivio> connessione, std::string sql);

  void Open();
  /// Closes the view; a pending change is dropped and the filter cleared.
  void Close() noexcept;
  /// 1 when open, 0 when closed.
  [[nodiscard]] int State() const noexcept { return aperto_ ? 1 : 0; }

  /// "" shows every row; otherwise "column='value'" ('' inside the quotes
  /// stands for one quote). A pending change is saved first.
  void Filter(std::string_view espressione);
  [[nodiscard]] const std::string& Filter() const noexcept { return filtro_; }

  [[nodiscard]] bool Bof() const;
  [[nodiscard]] bool Eof() const;
  [[nodiscard]] std::size_t RecordCount() const;
  /// Moving saves a pending change first, as the data-access layer does.
  void MoveFirst();
  void MoveNext();

  /// The value of a column of the current row ("" for NULL).
  [[nodiscard]] std::string Campo(std::string_view nome) const;
  /// Sets a column of the current row; the change is pending until Update.
  void Campo(std::string_view nome, std::string valore);

  /// Starts a new row (pending until Update) and makes it current.
  void AddNew();
  /// Saves the pending change of the current row.
  void Update();
  /// Drops the pending change: a new row is discarded, an edited row gets
  /// its stored values back.
  void CancelUpdate();

 private:
  struct Riga {
    std::int64_t rowid = 0;  // 0 for a row not stored yet
    std::vector<std::optional<std::string>> valori;
    std::vector<std::optional<std::string>> originali;
    std::vector<bool> cambiati;
  };

  RecordsetLocale(std::shared_ptr<ConnessioneArchivio> connessione, std::string sorgente,
                  bool tabella);
  void RichiediAperto() const;
  void RichiediRigaCorrente() const;
  [[nodiscard]] std::size_t IndiceColonna(std::string_view nome) const;
  void Leggi();
  void SalvaInSospeso();
  /// Whether the stored row `rowid` already holds `valori` in the columns
  /// `nomi` (quoted), so that saving them would change nothing.
  [[nodiscard]] bool RigaGiaUguale(std::int64_t rowid, const std::vector<std::string>& nomi,
                                   const std::vector<std::string>& valori);
  [[nodiscard]] bool InSospeso() const noexcept { return inAggiunta_ || inModifica_; }

  std::shared_ptr<ConnessioneArchivio> connessione_;
  std::string sorgente_;
  bool tabella_;
  bool aperto_ = false;
  std::string filtro_;
  std::optional<std::size_t> colonnaFiltro_;
  std::string valoreFiltro_;
  std::vector<std::string> colonne_;
  std::vector<Riga> righe_;
  std::size_t posizione_ = 0;  // righe_.size() means end of rows
  bool inAggiunta_ = false;
  bool inModifica_ = false;
  std::size_t posizionePrimaDiAggiunta_ = 0;
};

/// Splits a filter of the form "column='value'" into its column and value.
/// Throws orvane::Errore for any other form.
[[nodiscard]] std::pair<std::string, std::string> LeggiFiltro(std::string_view espressione);

}  // namespace tervan
