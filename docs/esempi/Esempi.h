#pragma once

// The manual's C++ samples, as functions the samples' test calls.

#include <cstdint>
#include <filesystem>
#include <string>

class QWidget;
namespace brisko {
class xpVantelTab;
}

namespace esempi {

/// Makes a tab strip with two tabs in `finestra` and shows the page of the
/// selected tab whenever one is pressed.
brisko::xpVantelTab* OspitaSchede(QWidget* finestra);
/// The tab whose page OspitaSchede's host showed last; 0 before any.
std::int32_t PaginaMostrata();
/// Saves the strip's state to `file`.
void SalvaSchede(const brisko::xpVantelTab& tab, const std::filesystem::path& file);

/// A check interval in minutes read from a text; 0, with the failure in the
/// error log, when it is not a positive number.
int MinutiDiControllo(const std::string& testo);

}  // namespace esempi
