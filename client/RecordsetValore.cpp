#include "quomaro/RecordsetValore.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

#include "platform/TestoUtf8.h"

namespace quomaro {
namespace {

bool Cifra(char c) {
  return c >= '0' && c <= '9';
}

// Reads exactly `n` digits at `pos`, advancing it.
std::optional<int> LeggiCifre(std::string_view testo, std::size_t& pos, std::size_t n) {
  if (pos + n > testo.size()) return std::nullopt;
  int valore = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = testo[pos + i];
    if (!Cifra(c)) return std::nullopt;
    valore = valore * 10 + (c - '0');
  }
  pos += n;
  return valore;
}

bool Bisestile(int anno) {
  return (anno % 4 == 0 && anno % 100 != 0) || anno % 400 == 0;
}

int GiorniDelMese(int anno, int mese) {
  static constexpr std::array<int, 12> kGiorni{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return mese == 2 && Bisestile(anno) ? 29 : kGiorni.at(static_cast<std::size_t>(mese - 1));
}

// "hh:mm[:ss[.f...]]" followed by an optional time-zone suffix, up to the end.
bool LeggiOra(std::string_view testo, std::size_t pos, DataOra& d) {
  const auto ore = LeggiCifre(testo, pos, 2);
  if (!ore || pos >= testo.size() || testo[pos++] != ':') return false;
  const auto minuti = LeggiCifre(testo, pos, 2);
  if (!minuti) return false;
  int secondi = 0;
  int nano = 0;
  if (pos < testo.size() && testo[pos] == ':') {
    ++pos;
    const auto s = LeggiCifre(testo, pos, 2);
    if (!s) return false;
    secondi = *s;
    if (pos < testo.size() && testo[pos] == '.') {
      ++pos;
      const std::size_t inizio = pos;
      int scala = 100000000;
      while (pos < testo.size() && Cifra(testo[pos])) {
        nano += (testo[pos] - '0') * scala;
        scala /= 10;
        ++pos;
      }
      if (pos == inizio) return false;
    }
  }
  if (pos < testo.size()) {
    const char segno = testo[pos++];
    if (segno == 'Z') {
      if (pos != testo.size()) return false;
    } else if (segno == '+' || segno == '-') {
      const auto zh = LeggiCifre(testo, pos, 2);
      if (pos < testo.size() && testo[pos] == ':') ++pos;
      const auto zm = LeggiCifre(testo, pos, 2);
      if (!zh || !zm || *zh > 23 || *zm > 59 || pos != testo.size()) return false;
    } else {
      return false;
    }
  }
  if (*ore > 23 || *minuti > 59 || secondi > 59) return false;
  d.ore = *ore;
  d.minuti = *minuti;
  d.secondi = secondi;
  d.nanosecondi = nano;
  return true;
}

template <class T>
std::optional<T> NumeroEsatto(std::string_view testo) {
  if (!testo.empty() && testo.front() == '+') testo.remove_prefix(1);
  if (testo.empty()) return std::nullopt;
  T valore{};
  const auto* const fine = testo.data() + testo.size();
  const auto [p, errore] = std::from_chars(testo.data(), fine, valore);
  if (errore != std::errc{} || p != fine) return std::nullopt;
  if constexpr (std::is_floating_point_v<T>) {
    if (!std::isfinite(valore)) return std::nullopt;
  }
  return valore;
}

std::optional<bool> VeroFalso(std::string_view testo) {
  if (testo == "1" || testo == "-1" || platform::UgualiSenzaMaiuscoleAscii(testo, "true"))
    return true;
  if (testo == "0" || platform::UgualiSenzaMaiuscoleAscii(testo, "false")) return false;
  return std::nullopt;
}

template <class T>
int Segno(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

std::optional<DataOra> DataOra::Leggi(std::string_view testo) {
  DataOra d;
  std::size_t pos = 0;
  if (testo.size() >= 3 && testo[2] == ':') {
    if (!LeggiOra(testo, 0, d)) return std::nullopt;
    return d;
  }
  const auto anno = LeggiCifre(testo, pos, 4);
  if (!anno || pos >= testo.size() || testo[pos++] != '-') return std::nullopt;
  const auto mese = LeggiCifre(testo, pos, 2);
  if (!mese || pos >= testo.size() || testo[pos++] != '-') return std::nullopt;
  const auto giorno = LeggiCifre(testo, pos, 2);
  if (!giorno || *anno < 1 || *mese < 1 || *mese > 12 || *giorno < 1 ||
      *giorno > GiorniDelMese(*anno, *mese)) {
    return std::nullopt;
  }
  d.anno = *anno;
  d.mese = *mese;
  d.giorno = *giorno;
  if (pos == testo.size()) return d;
  if (testo[pos] != 'T' && testo[pos] != ' ') return std::nullopt;
  if (!LeggiOra(testo, pos + 1, d)) return std::nullopt;
  return d;
}

std::string DataOra::Testo() const {
  std::array<char, 48> buffer{};
  int n = std::snprintf(buffer.data(), buffer.size(), "%04d-%02d-%02dT%02d:%02d:%02d", anno, mese,
                        giorno, ore, minuti, secondi);
  if (nanosecondi > 0) {
    int frazione = nanosecondi;
    int cifre = 9;
    while (frazione % 10 == 0) {
      frazione /= 10;
      --cifre;
    }
    n += std::snprintf(buffer.data() + n, buffer.size() - static_cast<std::size_t>(n), ".%0*d",
                       cifre, frazione);
  }
  return {buffer.data(), static_cast<std::size_t>(n)};
}

TipoCampo FamigliaDelTipo(std::string_view tipo) {
  static constexpr std::array<std::string_view, 9> kInteri{"int", "i1",  "i2",  "i4", "i8",
                                                           "ui1", "ui2", "ui4", "ui8"};
  static constexpr std::array<std::string_view, 5> kDecimali{"number", "float", "r4", "r8",
                                                             "fixed.14.4"};
  static constexpr std::array<std::string_view, 5> kDate{"dateTime", "dateTime.tz", "date", "time",
                                                         "time.tz"};
  for (const auto t : kInteri) {
    if (platform::UgualiSenzaMaiuscoleAscii(tipo, t)) return TipoCampo::Intero;
  }
  for (const auto t : kDecimali) {
    if (platform::UgualiSenzaMaiuscoleAscii(tipo, t)) return TipoCampo::Decimale;
  }
  for (const auto t : kDate) {
    if (platform::UgualiSenzaMaiuscoleAscii(tipo, t)) return TipoCampo::DataOra;
  }
  if (platform::UgualiSenzaMaiuscoleAscii(tipo, "boolean")) return TipoCampo::Booleano;
  return TipoCampo::Testo;
}

Valore::Valore(TipoCampo tipo, std::optional<std::string> testo)
    : tipo_(tipo), nullo_(!testo.has_value()), testo_(testo ? std::move(*testo) : std::string()) {
  if (nullo_) return;
  switch (tipo_) {
    case TipoCampo::Testo:
      break;
    case TipoCampo::Intero:
      if (const auto i = NumeroEsatto<long long>(testo_)) {
        dato_ = *i;
      } else if (const auto grande = NumeroEsatto<double>(testo_);
                 grande && std::trunc(*grande) == *grande &&
                 testo_.find_first_of(".eE") == std::string::npos) {
        dato_ = *grande;  // a whole number beyond the 64-bit range (ui8)
      }
      break;
    case TipoCampo::Decimale:
      if (const auto d = NumeroEsatto<double>(testo_)) dato_ = *d;
      break;
    case TipoCampo::Booleano:
      if (const auto b = VeroFalso(testo_)) dato_ = *b;
      break;
    case TipoCampo::DataOra:
      if (const auto d = DataOra::Leggi(testo_)) dato_ = *d;
      break;
  }
}

bool Valore::Conforme() const noexcept {
  return !nullo_ && (tipo_ == TipoCampo::Testo || dato_.index() != 0);
}

std::optional<long long> Valore::Intero() const {
  if (nullo_) return std::nullopt;
  if (const auto* i = std::get_if<long long>(&dato_)) return *i;
  if (const auto* d = std::get_if<double>(&dato_)) {
    // 2^63 is exactly representable; anything below it converts exactly.
    if (std::trunc(*d) == *d && *d >= -9223372036854775808.0 && *d < 9223372036854775808.0) {
      return static_cast<long long>(*d);
    }
    return std::nullopt;
  }
  if (tipo_ == TipoCampo::Testo) return NumeroEsatto<long long>(testo_);
  return std::nullopt;
}

std::optional<double> Valore::Numero() const {
  if (nullo_) return std::nullopt;
  if (const auto* i = std::get_if<long long>(&dato_)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&dato_)) return *d;
  if (tipo_ == TipoCampo::Testo) return NumeroEsatto<double>(testo_);
  return std::nullopt;
}

std::optional<bool> Valore::Booleano() const {
  if (nullo_) return std::nullopt;
  if (const auto* b = std::get_if<bool>(&dato_)) return *b;
  if (tipo_ == TipoCampo::Testo) return VeroFalso(testo_);
  return std::nullopt;
}

std::optional<DataOra> Valore::Data() const {
  if (nullo_) return std::nullopt;
  if (const auto* d = std::get_if<DataOra>(&dato_)) return *d;
  if (tipo_ == TipoCampo::Testo) return DataOra::Leggi(testo_);
  return std::nullopt;
}

int Valore::Confronta(const Valore& a, const Valore& b) {
  const auto classe = [](const Valore& v) { return v.nullo_ ? 0 : (v.Conforme() ? 1 : 2); };
  const int ca = classe(a);
  const int cb = classe(b);
  if (ca != cb) return ca < cb ? -1 : 1;
  if (ca == 0) return 0;
  if (ca == 2 || a.dato_.index() == 0 || b.dato_.index() == 0) {
    return platform::ConfrontaSenzaMaiuscoleAscii(a.testo_, b.testo_);
  }
  const auto numero = [](const Valore& v) -> std::optional<long double> {
    if (const auto* i = std::get_if<long long>(&v.dato_)) return static_cast<long double>(*i);
    if (const auto* d = std::get_if<double>(&v.dato_)) return static_cast<long double>(*d);
    return std::nullopt;
  };
  const auto na = numero(a);
  const auto nb = numero(b);
  if (na && nb) return Segno(*na, *nb);
  if (a.dato_.index() != b.dato_.index()) return Segno(a.dato_.index(), b.dato_.index());
  if (const auto* da = std::get_if<DataOra>(&a.dato_)) {
    return Segno(*da, std::get<DataOra>(b.dato_));
  }
  return Segno(std::get<bool>(a.dato_), std::get<bool>(b.dato_));
}

}  // namespace quomaro
