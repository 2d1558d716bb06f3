#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "updater/ConnessioneArchivio.h"
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

inline constexpr std::string_view kCancellaTarvik = "delete * from aggior where softxx='TARVIK'";
inline constexpr std::string_view kCancellaSelvor = "delete * from aggior where softxx='SELVOR'";
/// Removes the five modules of the property-management program at once.
inline constexpr std::string_view kCancellaModuliMorlen =
    "delete * from aggior where softxx='PANELAA' OR  softxx='PANELAB' OR  softxx='PANELAD' OR  "
    "softxx='PANELAC' OR  softxx='PANELAE'";
inline constexpr std::string_view kFrequenzaAggiornamento =
    "SELECT MIN(FREQUE) AS Freque FROM AGGIOR";

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
