#pragma once

#include <QFont>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quomaro/Recordset.h"
#include "updater/ControlliFinestra.h"
#include "updater/StatoFinestra.h"

namespace tervan {

/// The update list: the grid grdAggior, two rows per package (an odd data
/// row and an even note row), the marks that the download run takes, and
/// the hidden columns that carry what the download needs.
///
/// Rows and columns are numbered from 1 in the routines' arguments, as the
/// window's grid numbers them.
class ElencoAggiornamenti {
 public:
  /// Columns of the grid, numbered from 1.
  enum Colonna : int {
    kEsegui = 1,
    kContenuto = 2,
    kData = 3,
    kCodice = 4,
    kDimensione = 5,
    kByte = 6,
    kTipo = 7,
    kCartellaDati = 8,
    kProgramma = 9,
    kUtente = 10,
  };
  static constexpr int kColonne = 10;
  /// Item data role holding a cell's alignment code (0 left, 1 centred,
  /// 2 right, 0x40020 left on one line with an ellipsis).
  static constexpr int kRuoloAllineamento = Qt::UserRole + 1;
  /// Item data role holding a cell's bytes when they are not UTF-8 (a data
  /// folder named so in the registry), which its text cannot carry.
  static constexpr int kRuoloByte = Qt::UserRole + 2;
  static constexpr int kAllineamentoEllissi = 0x40020;
  static constexpr std::string_view kPronto =
      "Elenco aggiornamenti - Premere il tasto F10 per effettuare il download";

  ElencoAggiornamenti(StatoFinestra& stato, ControlliFinestra& controlli);

  /// Adds the ten columns and sets the grid's look; in live mode hides the
  /// check box, the interval list and its caption, and the hide button.
  void ImpostaGriglia();

  /// Fetches the packages of program `softxx` for the current customer and
  /// appends those not listed yet, oldest first; then marks every package.
  void RiempiGriglia(const std::string& softxx);

  /// The appending part of RiempiGriglia, from a file list already fetched.
  void AggiungiPacchetti(quomaro::Recordset& rs, const std::string& softxx);

  /// Whether a package may be added: false when its code is listed for the
  /// same program, for another module of the property-management program,
  /// or at all when its type is "ORVANE". False when the check fails.
  [[nodiscard]] bool VerificaFileInElenco(std::int32_t codice, const std::string& progra,
                                          const std::string& TipoXx);

  /// Sets the mark of every data row: "Ok" or "". Not while the list is held.
  void SegnaTutti(const std::string& valore);

  /// Holds the list for as long as it lives: a download run takes the rows
  /// and marks as they were when it started, so neither a search nor the
  /// user changes them until it ends.
  class Blocco {
   public:
    explicit Blocco(ElencoAggiornamenti& elenco) : elenco_(elenco) { ++elenco_.blocchi_; }
    ~Blocco() { --elenco_.blocchi_; }
    Blocco(const Blocco&) = delete;
    Blocco& operator=(const Blocco&) = delete;

   private:
    ElencoAggiornamenti& elenco_;
  };
  [[nodiscard]] bool Bloccato() const noexcept { return blocchi_ > 0; }

  /// Gives the list the keyboard focus, on its first package row when it
  /// has one, so Enter marks a package and no key reaches the settings.
  void SelezionaPrimoPacchetto();

  /// Removes every row.
  void Svuota();
  [[nodiscard]] int Righe() const;
  [[nodiscard]] std::string Testo(int riga, int colonna) const;

  // The grid's events.
  void grdAggior_KeyDown(int KeyCode);
  void grdAggior_KeyPress(int KeyAscii);
  void grdAggior_DblClick(int riga, int colonna);
  void grdAggior_SelectionChange(int riga, int colonna);

  /// Key code of the last key pressed in the grid.
  int UltimoTasto = 0;

  /// The size text of a package: over 1000 bytes in KB (of 1000 bytes,
  /// rounded), otherwise in bytes, with the locale's thousands separator.
  [[nodiscard]] static std::string TestoDimensione(double dimens);

 private:
  void Inverti(int riga);
  // The codes listed and, for each, the programs it is listed for; kept in
  // step with the grid so the duplicate check does not scan every row.
  void AllineaIndice();
  void Indicizza(const std::string& codice, const std::string& progra);

  StatoFinestra& stato_;
  ControlliFinestra& controlli_;
  std::unordered_map<std::string, std::vector<std::string>> indice_;
  int righeIndicizzate_ = 0;
  int blocchi_ = 0;
};

}  // namespace tervan
