#include "updater/DataOraLocale.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/TestoUtf8.h"

namespace tervan {
namespace {

bool Cifre(std::string_view testo, std::size_t da, std::size_t quante, int& valore) {
  if (testo.size() < da + quante) return false;
  valore = 0;
  for (std::size_t i = da; i < da + quante; ++i) {
    if (testo[i] < '0' || testo[i] > '9') return false;
    valore = valore * 10 + (testo[i] - '0');
  }
  return true;
}

long long GiorniDaEpoca(const DataOraLocale& d) {
  using namespace std::chrono;
  return sys_days{year{d.anno} / month{static_cast<unsigned>(d.mese)} /
                  day{static_cast<unsigned>(d.giorno)}}
      .time_since_epoch()
      .count();
}

}  // namespace

DataOraLocale OraLocale(platform::Istante istante) {
  const std::time_t t = std::chrono::system_clock::to_time_t(istante);
  std::tm tm{};
  // localtime_r keeps the zone it first read for the program's whole life.
  // A time zone changed while Tervan runs (the PC's zone set right, a laptop
  // taken abroad) would have it store last checks in the old zone, which a
  // session started after the change reads as an hour off: the two sessions
  // would then find each other's checks due, or ahead of the clock, at every
  // tick. tzset() reads the zone again when it changed.
  tzset();
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0};
}

std::string TestoUltima(const DataOraLocale& d) {
  char testo[32];
  std::snprintf(testo, sizeof testo, "%02d/%02d/%04d %02d:%02d:%02d", d.giorno, d.mese, d.anno,
                d.ore, d.minuti, d.secondi);
  return testo;
}

std::optional<DataOraLocale> LeggiUltima(std::string_view testo) {
  if (platform::SenzaSpaziAiLati(testo).empty()) return kMaiControllato;
  testo = platform::SenzaCaratteriSpazioAiLati(testo);
  if (testo.size() != 19 || testo[2] != '/' || testo[5] != '/' || testo[10] != ' ') {
    return std::nullopt;
  }
  const char separatore = testo[13];
  if ((separatore != ':' && separatore != '.') || testo[16] != separatore) return std::nullopt;
  DataOraLocale d;
  if (!Cifre(testo, 0, 2, d.giorno) || !Cifre(testo, 3, 2, d.mese) || !Cifre(testo, 6, 4, d.anno) ||
      !Cifre(testo, 11, 2, d.ore) || !Cifre(testo, 14, 2, d.minuti) ||
      !Cifre(testo, 17, 2, d.secondi)) {
    return std::nullopt;
  }
  using namespace std::chrono;
  const year_month_day data{year{d.anno}, month{static_cast<unsigned>(d.mese)},
                            day{static_cast<unsigned>(d.giorno)}};
  if (!data.ok() || d.ore > 23 || d.minuti > 59 || d.secondi > 59) return std::nullopt;
  return d;
}

long long MinutiTrascorsi(const DataOraLocale& da, const DataOraLocale& a) {
  const auto minuti = [](const DataOraLocale& d) {
    return GiorniDaEpoca(d) * 1440 + d.ore * 60LL + d.minuti;
  };
  return minuti(a) - minuti(da);
}

}  // namespace tervan
