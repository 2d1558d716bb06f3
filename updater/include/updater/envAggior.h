#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "updater/ConnessioneArchivio.h"
#include "updater/ProgrammiOrvane.h"
#include "updater/RecordsetLocale.h"

namespace tervan {

/// The statements the updater runs on its local store, each written once.
/// A statement that takes values has a "?" for each, bound when it runs:
///   conAggior().Execute(istruzioni::kCancellaProgramma, {softxx});
namespace istruzioni {

/// Every row gets the same check interval (one value: the interval).
inline constexpr std::string_view kAggiornaFrequenza = "UPDATE AGGIOR SET FREQUE=?";
/// Removes the row of one program or module (one value: its softxx).
inline constexpr std::string_view kCancellaProgramma = "delete * from aggior where softxx=?";

namespace dettaglio {

inline constexpr std::string_view kInizioCancella = "delete * from aggior where softxx='";
inline constexpr std::string_view kTraCodici = "' OR  softxx='";
inline constexpr std::string_view kFineCancella = "'";

template <std::size_t N>
constexpr std::size_t LunghezzaCancella(const std::array<std::string_view, N>& codici) {
  std::size_t n = kInizioCancella.size() + (N - 1) * kTraCodici.size() + kFineCancella.size();
  for (const std::string_view codice : codici)
    n += codice.size();
  return n;
}

// The text of the delete statement of `codici`, made when compiling.
template <const auto& codici>
inline constexpr auto kTestoCancella = [] {
  std::array<char, LunghezzaCancella(codici)> testo{};
  auto fine = testo.begin();
  const auto scrivi = [&fine](std::string_view parte) {
    fine = std::copy(parte.begin(), parte.end(), fine);
  };
  scrivi(kInizioCancella);
  for (std::size_t i = 0; i < codici.size(); ++i) {
    if (i > 0) scrivi(kTraCodici);
    scrivi(codici[i]);
  }
  scrivi(kFineCancella);
  return testo;
}();

}  // namespace dettaglio

/// Removes the rows of a program: "delete * from aggior where softxx='A' OR
/// softxx='B' ...", with two blanks before each further softxx, its codes in
/// the order of the program's rows.
template <const auto& codici>
inline constexpr std::string_view kCancellaRighe{dettaglio::kTestoCancella<codici>.data(),
                                                 dettaglio::kTestoCancella<codici>.size()};

inline constexpr std::string_view kCancellaTarvik = kCancellaRighe<programmi::kRigheTarvik>;
inline constexpr std::string_view kCancellaSelvor = kCancellaRighe<programmi::kRigheSelvor>;
/// Removes the five modules of the property-management program at once.
inline constexpr std::string_view kCancellaModuliMorlen = kCancellaRighe<programmi::kModuliMorlen>;
inline constexpr std::string_view kFrequenzaAggiornamento =
    "SELECT MIN(FREQUE) AS Freque FROM AGGIOR";
/// Moves one program's last check from the time read (empty for none) to
/// another, only while the store still holds the time read (three values:
/// the new time, the softxx, the time read). No row changes when another
/// Tervan of the same store (another session of the user) took that check.
inline constexpr std::string_view kSpostaUltima =
    "UPDATE AGGIOR SET ultima=? WHERE softxx=? AND IFNULL(ultima,'')=?";

}  // namespace istruzioni

/// The local store "Tervan.mdb": beside the program when the user may write
/// the program folder, else in the user's own state folder, first copied
/// there from the empty store shipped beside the program (see
/// platform/Collocazione.h). The connection
/// `conAggior`, the table `AGGIOR` with its updatable view `rsAGGIOR`, and
/// the interval query `FrequenzaAggiornamento`.
///
/// Creating it opens the connection and the view; failures while doing so
/// are ignored, so with a missing or broken store the first operation of
/// the calling routine fails and that routine reports it.
class envAggior {
 public:
  explicit envAggior(const std::filesystem::path& cartellaProgramma);
  envAggior(const envAggior&) = delete;
  envAggior& operator=(const envAggior&) = delete;
  ~envAggior();

  [[nodiscard]] ConnessioneArchivio& conAggior() noexcept { return *conAggior_; }
  /// The view of the table, shared with the window that holds it.
  [[nodiscard]] const std::shared_ptr<RecordsetLocale>& rsAGGIOR() const noexcept {
    return rsAGGIOR_;
  }
  /// The table command: (re)opens rsAGGIOR on the whole table.
  void AGGIOR();
  /// Runs the interval query and returns its open one-row view (field Freque).
  [[nodiscard]] std::shared_ptr<RecordsetLocale> FrequenzaAggiornamento();

  static constexpr std::string_view kNomeFile = "Tervan.mdb";

 private:
  // Shared with the views, which may outlive this object in their holders.
  std::shared_ptr<ConnessioneArchivio> conAggior_ = std::make_shared<ConnessioneArchivio>();
  std::shared_ptr<RecordsetLocale> rsAGGIOR_;
};

/// Minutes of a stored check interval "dd:hh:mm": days x 1440 + hours x 60
/// + minutes; an empty or blank text counts as "00:00:01". Throws type
/// mismatch (13) when the pieces are not numbers.
[[nodiscard]] int IntervalloInMinuti(std::string_view freque);

}  // namespace tervan
