#include "common/FormatoValori.h"

#include <QString>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/TestoUtf8.h"

namespace orvane {
namespace {

bool Cifra(char c) {
  return c >= '0' && c <= '9';
}

// ---- dates ---------------------------------------------------------------

bool Bisestile(int anno) {
  return (anno % 4 == 0 && anno % 100 != 0) || anno % 400 == 0;
}

int GiorniDelMese(int mese, int anno) {
  static constexpr std::array<int, 12> kGiorni{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return mese == 2 && Bisestile(anno) ? 29 : kGiorni.at(static_cast<std::size_t>(mese - 1));
}

std::optional<int> Intero(std::string_view cifre) {
  int valore = 0;
  for (const char c : cifre) {
    if (!Cifra(c)) {
      return std::nullopt;
    }
    valore = valore * 10 + (c - '0');
  }
  return valore;
}

constexpr std::array<const char*, 12> kMesi{"gennaio",   "febbraio", "marzo",    "aprile",
                                            "maggio",    "giugno",   "luglio",   "agosto",
                                            "settembre", "ottobre",  "novembre", "dicembre"};
constexpr std::array<const char*, 12> kMesiBrevi{"gen", "feb", "mar", "apr", "mag", "giu",
                                                 "lug", "ago", "set", "ott", "nov", "dic"};
constexpr std::array<const char*, 7> kGiorniSettimana{"domenica", "lunedì",  "martedì", "mercoledì",
                                                      "giovedì",  "venerdì", "sabato"};
constexpr std::array<const char*, 7> kGiorniBrevi{"dom", "lun", "mar", "mer", "gio", "ven", "sab"};

/// Day of the week, 1 = Sunday ... 7 = Saturday.
int GiornoSettimana(const Data& d) {
  const std::chrono::year_month_day ymd{std::chrono::year{d.anno},
                                        std::chrono::month{static_cast<unsigned>(d.mese)},
                                        std::chrono::day{static_cast<unsigned>(d.giorno)}};
  return static_cast<int>(std::chrono::weekday{std::chrono::sys_days{ymd}}.c_encoding()) + 1;
}

int GiornoDellAnno(const Data& d) {
  int giorni = d.giorno;
  for (int m = 1; m < d.mese; ++m) {
    giorni += GiorniDelMese(m, d.anno);
  }
  return giorni;
}

std::string DueCifre(int n) {
  std::string s = std::to_string(n);
  return s.size() < 2 ? "0" + s : s;
}

std::string QuattroCifre(int n) {
  const std::string s = std::to_string(n);
  return s.size() < 4 ? std::string(4 - s.size(), '0') + s : s;
}

/// One piece of a custom format: a run of one format letter, or literal text.
struct Pezzo {
  char lettera = 0;  // lower-case letter of the run, 0 for literal text
  std::size_t quante = 0;
  std::string testo;  // literal text
};

/// Splits a format into runs of the letters in `lettere` (any case) and
/// literal text; \x and "..." are literal, as is every other character.
std::vector<Pezzo> Pezzi(std::string_view formato, std::string_view lettere) {
  std::vector<Pezzo> pezzi;
  auto letterale = [&](std::string_view t) {
    if (pezzi.empty() || pezzi.back().lettera != 0) {
      pezzi.push_back({});
    }
    pezzi.back().testo += t;
  };
  for (std::size_t i = 0; i < formato.size();) {
    const char c = formato[i];
    if (c == '\\') {
      if (i + 1 < formato.size()) {
        letterale(formato.substr(i + 1, 1));
      }
      i += 2;
    } else if (c == '"') {
      const std::size_t fine = formato.find('"', i + 1);
      const std::size_t stop = fine == std::string_view::npos ? formato.size() : fine;
      letterale(formato.substr(i + 1, stop - i - 1));
      i = stop + 1;
    } else if (lettere.find(platform::MinuscolaAscii(c)) != std::string_view::npos) {
      const char l = platform::MinuscolaAscii(c);
      std::size_t j = i;
      while (j < formato.size() && platform::MinuscolaAscii(formato[j]) == l) {
        ++j;
      }
      pezzi.push_back({l, j - i, {}});
      i = j;
    } else {
      letterale(formato.substr(i, 1));
      ++i;
    }
  }
  return pezzi;
}

constexpr std::string_view kLettereData = "dmywqchns";

std::string NomeGiorno(const Data& d) {
  return kGiorniSettimana.at(static_cast<std::size_t>(GiornoSettimana(d) - 1));
}

/// The Italian short date, dd/mm/yyyy.
std::string DataBreve(const Data& d) {
  return DueCifre(d.giorno) + "/" + DueCifre(d.mese) + "/" + QuattroCifre(d.anno);
}

/// The Italian long date, dddd d mmmm yyyy.
std::string DataLunga(const Data& d) {
  return NomeGiorno(d) + " " + std::to_string(d.giorno) + " " +
         kMesi.at(static_cast<std::size_t>(d.mese - 1)) + " " + QuattroCifre(d.anno);
}

std::string FormattaData(const Data& d, std::string_view formato) {
  std::string out;
  bool dopoOre = false;
  for (const Pezzo& p : Pezzi(formato, kLettereData)) {
    const std::size_t n = p.quante;
    switch (p.lettera) {
      case 0:
        out += p.testo;
        continue;
      case 'd':
        if (n == 1) {
          out += std::to_string(d.giorno);
        } else if (n == 2) {
          out += DueCifre(d.giorno);
        } else if (n == 3) {
          out += kGiorniBrevi.at(static_cast<std::size_t>(GiornoSettimana(d) - 1));
        } else if (n == 4) {
          out += NomeGiorno(d);
        } else if (n == 5) {
          out += DataBreve(d);
        } else {
          out += DataLunga(d);
        }
        break;
      case 'm':
        if (dopoOre && n <= 2) {
          out += n == 1 ? "0" : "00";
        } else if (n == 1) {
          out += std::to_string(d.mese);
        } else if (n == 2) {
          out += DueCifre(d.mese);
        } else if (n == 3) {
          out += kMesiBrevi.at(static_cast<std::size_t>(d.mese - 1));
        } else {
          out += kMesi.at(static_cast<std::size_t>(d.mese - 1));
        }
        break;
      case 'y':
        if (n == 1) {
          out += std::to_string(GiornoDellAnno(d));
        } else if (n <= 3) {
          out += DueCifre(d.anno % 100);
        } else {
          out += QuattroCifre(d.anno);
        }
        break;
      case 'w':
        if (n == 1) {
          out += std::to_string(GiornoSettimana(d));
        } else {
          const int inizio = GiornoSettimana(Data{1, 1, d.anno});
          out += std::to_string((GiornoDellAnno(d) - 1 + inizio - 1) / 7 + 1);
        }
        break;
      case 'q':
        out += std::to_string((d.mese - 1) / 3 + 1);
        break;
      case 'c':
        out += DataBreve(d);
        break;
      default:  // h, n, s: the time of a date alone is midnight
        out += n == 1 ? "0" : "00";
        break;
    }
    dopoOre = p.lettera == 'h';
  }
  return out;
}

std::optional<std::string> FormatoDataConNome(const Data& d, std::string_view formato) {
  if (platform::UgualiSenzaMaiuscoleAscii(formato, "General Date") ||
      platform::UgualiSenzaMaiuscoleAscii(formato, "Short Date")) {
    return DataBreve(d);
  }
  if (platform::UgualiSenzaMaiuscoleAscii(formato, "Medium Date")) {
    return FormattaData(d, "dd-mmm-yy");
  }
  if (platform::UgualiSenzaMaiuscoleAscii(formato, "Long Date")) {
    return DataLunga(d);
  }
  if (platform::UgualiSenzaMaiuscoleAscii(formato, "Long Time")) {
    return "00:00:00";
  }
  if (platform::UgualiSenzaMaiuscoleAscii(formato, "Short Time")) {
    return "00:00";
  }
  return std::nullopt;
}

/// Whether a format has placeholders of the given letters.
bool HaSegnaposti(std::string_view formato, std::string_view lettere) {
  const std::vector<Pezzo> pezzi = Pezzi(formato, lettere);
  return std::any_of(pezzi.begin(), pezzi.end(), [](const Pezzo& p) { return p.lettera != 0; });
}

bool FormatoDiData(std::string_view formato) {
  return HaSegnaposti(formato, kLettereData);
}

// ---- numbers -------------------------------------------------------------

/// The sections of a number format, split at ";" outside literals.
std::vector<std::string> Sezioni(std::string_view formato) {
  std::vector<std::string> sezioni(1);
  for (std::size_t i = 0; i < formato.size(); ++i) {
    const char c = formato[i];
    if (c == '\\' && i + 1 < formato.size()) {
      sezioni.back() += formato.substr(i, 2);
      ++i;
    } else if (c == '"') {
      const std::size_t fine = formato.find('"', i + 1);
      const std::size_t stop = fine == std::string_view::npos ? formato.size() - 1 : fine;
      sezioni.back() += formato.substr(i, stop - i + 1);
      i = stop;
    } else if (c == ';') {
      sezioni.emplace_back();
    } else {
      sezioni.back() += c;
    }
  }
  return sezioni;
}

bool FormatoDiNumero(std::string_view formato) {
  return HaSegnaposti(formato, "0#");
}

/// A section of a number format read into its parts.
struct SezioneNumero {
  struct Elemento {
    enum Tipo { kLetterale, kCifraIntera, kVirgola, kCifraDecimale } tipo = kLetterale;
    bool zero = false;  // a "0" placeholder (shown even when not needed)
    std::string testo;
  };
  std::vector<Elemento> elementi;
  std::size_t cifreIntere = 0;
  std::size_t primoZeroIntero = 0;  // index of the first "0" among the integer placeholders
  bool haZeroIntero = false;
  std::size_t cifreDecimali = 0;
  std::size_t zeriDecimali = 0;  // decimals shown even when zero
  bool migliaia = false;
  int divisioni = 0;  // each comma before the point or the end divides by 1000
  bool percento = false;
};

SezioneNumero LeggiSezione(std::string_view sezione) {
  SezioneNumero s;
  using E = SezioneNumero::Elemento;
  bool dopoVirgola = false;
  std::size_t virgole = 0;  // commas seen since the last integer placeholder
  auto letterale = [&](std::string_view t) {
    if (s.elementi.empty() || s.elementi.back().tipo != E::kLetterale) {
      s.elementi.push_back({});
    }
    s.elementi.back().testo += t;
  };
  for (std::size_t i = 0; i < sezione.size(); ++i) {
    const char c = sezione[i];
    if (c == '\\') {
      if (i + 1 < sezione.size()) {
        letterale(sezione.substr(i + 1, 1));
      }
      ++i;
    } else if (c == '"') {
      const std::size_t fine = sezione.find('"', i + 1);
      const std::size_t stop = fine == std::string_view::npos ? sezione.size() : fine;
      letterale(sezione.substr(i + 1, stop - i - 1));
      i = stop;
    } else if (c == '0' || c == '#') {
      if (dopoVirgola) {
        s.elementi.push_back({E::kCifraDecimale, c == '0', {}});
        ++s.cifreDecimali;
        if (c == '0') {
          s.zeriDecimali = s.cifreDecimali;
        }
      } else {
        if (virgole > 0 && s.cifreIntere > 0) {
          s.migliaia = true;
        }
        virgole = 0;
        if (c == '0' && !s.haZeroIntero) {
          s.haZeroIntero = true;
          s.primoZeroIntero = s.cifreIntere;
        }
        s.elementi.push_back({E::kCifraIntera, c == '0', {}});
        ++s.cifreIntere;
      }
    } else if (c == '.' && !dopoVirgola) {
      dopoVirgola = true;
      s.divisioni += static_cast<int>(virgole);
      virgole = 0;
      s.elementi.push_back({E::kVirgola, false, {}});
    } else if (c == ',' && !dopoVirgola && s.cifreIntere > 0) {
      ++virgole;
    } else {
      if (c == '%') {
        s.percento = true;
      }
      letterale(sezione.substr(i, 1));
    }
  }
  s.divisioni += static_cast<int>(virgole);
  return s;
}

std::string FormattaSezione(double valore, const SezioneNumero& s, bool meno) {
  using E = SezioneNumero::Elemento;
  if (s.percento) {
    valore *= 100;
  }
  for (int i = 0; i < s.divisioni; ++i) {
    valore /= 1000;
  }
  valore = std::fabs(valore);
  if (!std::isfinite(valore)) {
    return {};
  }

  // Fixed notation, locale-independent, then split at the point.
  std::string fisso(400 + s.cifreDecimali, '\0');
  const auto [fine, errore] =
      std::to_chars(fisso.data(), fisso.data() + fisso.size(), valore, std::chars_format::fixed,
                    static_cast<int>(s.cifreDecimali));
  if (errore != std::errc{}) {
    return {};
  }
  fisso.resize(static_cast<std::size_t>(fine - fisso.data()));
  const std::size_t punto = fisso.find('.');
  std::string intere = fisso.substr(0, punto);
  std::string decimali = punto == std::string::npos ? "" : fisso.substr(punto + 1);
  while (decimali.size() > s.zeriDecimali && !decimali.empty() && decimali.back() == '0') {
    decimali.pop_back();
  }
  // Leading zeros: none beyond what the "0" placeholders ask for.
  if (intere == "0") {
    intere.clear();
  }
  const std::size_t minime = s.haZeroIntero ? s.cifreIntere - s.primoZeroIntero : 0;
  while (intere.size() < minime) {
    intere.insert(0, "0");
  }

  const bool nonZero = intere.find_first_not_of('0') != std::string::npos ||
                       decimali.find_first_not_of('0') != std::string::npos;
  std::string out = meno && nonZero ? "-" : "";
  std::size_t indiceIntero = 0;
  std::size_t indiceDecimale = 0;
  auto cifraIntera = [&](std::size_t posizione) {  // position counted from the right
    out += intere[intere.size() - 1 - posizione];
    if (s.migliaia && posizione > 0 && posizione % 3 == 0) {
      out += '.';
    }
  };
  for (const E& e : s.elementi) {
    switch (e.tipo) {
      case E::kLetterale:
        out += e.testo;
        break;
      case E::kVirgola:
        out += ',';
        break;
      case E::kCifraIntera: {
        const std::size_t posizione = s.cifreIntere - 1 - indiceIntero;
        if (indiceIntero == 0) {
          for (std::size_t p = intere.size(); p > posizione + 1; --p) {
            cifraIntera(p - 1);
          }
        }
        if (posizione < intere.size()) {
          cifraIntera(posizione);
        }
        ++indiceIntero;
        break;
      }
      case E::kCifraDecimale:
        if (indiceDecimale < decimali.size()) {
          out += decimali[indiceDecimale];
        }
        ++indiceDecimale;
        break;
    }
  }
  // A format without integer placeholders still shows the integer part.
  const bool conVirgola = std::any_of(s.elementi.begin(), s.elementi.end(),
                                      [](const E& e) { return e.tipo == E::kVirgola; });
  if (s.cifreIntere == 0 && conVirgola && !intere.empty()) {
    const std::size_t inizio = out.find(',');
    out.insert(inizio == std::string::npos ? out.size() : inizio, intere);
  }
  return out;
}

std::string NumeroGenerale(double valore) {
  std::array<char, 64> buffer{};
  const auto [fine, errore] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), valore);
  if (errore != std::errc{}) {
    return {};
  }
  std::string out(buffer.data(), fine);
  for (char& c : out) {
    if (c == '.') {
      c = ',';
    }
    if (c == 'e') {
      c = 'E';
    }
  }
  return out;
}

/// The named number formats and the custom formats they stand for.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kFormatiNumero{{
    {"Fixed", "0.00"},
    {"Standard", "#,##0.00"},
    {"Percent", "0.00%"},
}};

std::string FormattaNumero(double valore, std::string_view formato) {
  if (platform::UgualiSenzaMaiuscoleAscii(formato, "General Number")) {
    return NumeroGenerale(valore);
  }
  for (const auto& [nome, personalizzato] : kFormatiNumero) {
    if (platform::UgualiSenzaMaiuscoleAscii(formato, nome)) {
      formato = personalizzato;
    }
  }
  const std::vector<std::string> sezioni = Sezioni(formato);
  if (valore < 0 && sezioni.size() >= 2 && !sezioni[1].empty()) {
    return FormattaSezione(valore, LeggiSezione(sezioni[1]), false);
  }
  if (valore == 0 && sezioni.size() >= 3 && !sezioni[2].empty()) {
    return FormattaSezione(valore, LeggiSezione(sezioni[2]), false);
  }
  return FormattaSezione(valore, LeggiSezione(sezioni[0]), valore < 0);
}

bool FormatoConNome(std::string_view formato) {
  return platform::UgualiSenzaMaiuscoleAscii(formato, "General Number") ||
         std::any_of(kFormatiNumero.begin(), kFormatiNumero.end(), [&](const auto& f) {
           return platform::UgualiSenzaMaiuscoleAscii(formato, f.first);
         });
}

// ---- text ----------------------------------------------------------------

/// The characters of a text: code points of valid UTF-8, else single bytes.
std::vector<std::string> Caratteri(std::string_view testo) {
  std::vector<std::string> caratteri;
  const bool utf8 = platform::Utf8Valido(testo);
  for (const char c : testo) {
    const bool continuazione = utf8 && (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
    if (continuazione && !caratteri.empty()) {
      caratteri.back() += c;
    } else {
      caratteri.emplace_back(1, c);
    }
  }
  return caratteri;
}

bool FormatoDiTesto(std::string_view formato) {
  return formato.find_first_of("@&<>!") != std::string_view::npos;
}

std::string FormattaTesto(std::string_view valore, std::string_view formato) {
  struct Elemento {
    bool segnaposto = false;
    bool spazio = false;  // "@": a space when no character is left
    std::string testo;
  };
  std::vector<Elemento> elementi;
  bool maiuscolo = false;
  bool minuscolo = false;
  bool daSinistra = false;
  std::size_t segnaposti = 0;
  for (const Pezzo& p : Pezzi(formato, "@&<>!")) {
    for (std::size_t k = 0; k < p.quante; ++k) {
      if (p.lettera == '@' || p.lettera == '&') {
        elementi.push_back({true, p.lettera == '@', {}});
        ++segnaposti;
      }
    }
    if (p.lettera == '<') {
      minuscolo = true, maiuscolo = false;
    }
    if (p.lettera == '>') {
      maiuscolo = true, minuscolo = false;
    }
    if (p.lettera == '!') {
      daSinistra = true;
    }
    if (p.lettera == 0) {
      elementi.push_back({false, false, p.testo});
    }
  }
  std::string testo(valore);
  if (maiuscolo) {
    testo = Maiuscolo(testo);
  }
  if (minuscolo) {
    testo = Minuscolo(testo);
  }
  if (segnaposti == 0) {
    std::string out;
    for (const Elemento& e : elementi) {
      out += e.testo;
    }
    return testo + out;
  }
  const std::vector<std::string> caratteri = Caratteri(testo);
  // Placeholder k takes character k - (segnaposti - n) when filling from the
  // right, character k when filling from the left; spare characters go with
  // the first (from the right) or the last (from the left) placeholder.
  const std::size_t n = caratteri.size();
  std::string out;
  std::size_t k = 0;
  for (const Elemento& e : elementi) {
    if (!e.segnaposto) {
      out += e.testo;
      continue;
    }
    std::string pezzo;
    if (daSinistra) {
      if (k < n) {
        pezzo = caratteri[k];
      }
      if (k + 1 == segnaposti) {
        for (std::size_t j = k + 1; j < n; ++j) {
          pezzo += caratteri[j];
        }
      }
    } else {
      const std::size_t vuoti = segnaposti > n ? segnaposti - n : 0;
      const std::size_t avanzo = n > segnaposti ? n - segnaposti : 0;
      if (k == 0) {
        for (std::size_t j = 0; j < avanzo; ++j) {
          pezzo += caratteri[j];
        }
      }
      if (k >= vuoti) {
        pezzo += caratteri[k - vuoti + avanzo];
      }
    }
    if (pezzo.empty() && e.spazio) {
      pezzo = " ";
    }
    out += pezzo;
    ++k;
  }
  return out;
}

std::string CambiaMaiuscole(std::string_view testo, bool maiuscolo) {
  if (platform::Utf8Valido(testo)) {
    const QString q = QString::fromUtf8(testo.data(), static_cast<qsizetype>(testo.size()));
    const QByteArray b = (maiuscolo ? q.toUpper() : q.toLower()).toUtf8();
    return {b.constData(), static_cast<std::size_t>(b.size())};
  }
  std::string out(testo);
  for (char& c : out) {
    c = maiuscolo ? platform::MaiuscolaAscii(c) : platform::MinuscolaAscii(c);
  }
  return out;
}

}  // namespace

std::optional<double> NumeroItaliano(std::string_view testo) {
  std::size_t i = 0;
  const std::size_t n = testo.size();
  while (i < n && platform::SpazioOrizzontale(testo[i])) {
    ++i;
  }
  std::string cifre;  // the number in C form for from_chars
  if (i < n && (testo[i] == '+' || testo[i] == '-')) {
    if (testo[i] == '-') {
      cifre += '-';
    }
    ++i;
  }
  std::size_t quante = 0;
  while (i < n && (Cifra(testo[i]) || (testo[i] == '.' && quante > 0))) {
    if (Cifra(testo[i])) {
      cifre += testo[i];
      ++quante;
    }
    ++i;
  }
  if (i < n && testo[i] == ',') {
    cifre += '.';
    ++i;
    while (i < n && Cifra(testo[i])) {
      cifre += testo[i++];
      ++quante;
    }
  }
  if (quante == 0) {
    return std::nullopt;
  }
  if (i < n && (testo[i] == 'e' || testo[i] == 'E' || testo[i] == 'd' || testo[i] == 'D')) {
    cifre += 'e';
    ++i;
    if (i < n && (testo[i] == '+' || testo[i] == '-')) {
      cifre += testo[i++];
    }
    std::size_t esponente = 0;
    while (i < n && Cifra(testo[i])) {
      cifre += testo[i++];
      ++esponente;
    }
    if (esponente == 0) {
      return std::nullopt;
    }
  }
  while (i < n && platform::SpazioOrizzontale(testo[i])) {
    ++i;
  }
  if (i != n) {
    return std::nullopt;
  }
  if (cifre.back() == '.') {
    cifre.pop_back();
  }
  double valore = 0;
  const auto [fine, errore] = std::from_chars(cifre.data(), cifre.data() + cifre.size(), valore);
  if (fine != cifre.data() + cifre.size()) {
    return std::nullopt;
  }
  if (errore == std::errc::result_out_of_range) {
    // Too small to tell from zero is zero; too large is not a number.
    if (cifre.find("e-") == std::string::npos) {
      return std::nullopt;
    }
    return 0.0;
  }
  if (errore != std::errc{} || !std::isfinite(valore)) {
    return std::nullopt;
  }
  return valore;
}

bool ValoreZero(std::string_view testo) {
  bool segno = false;
  bool punto = false;
  for (const char c : testo) {
    if (platform::SpazioOrizzontale(c) || c == '\n' || c == '\r') {
      continue;
    }
    if ((c == '+' || c == '-') && !segno) {
      segno = true;
      continue;
    }
    segno = true;
    if (c == '.' && !punto) {
      punto = true;
      continue;
    }
    if (!Cifra(c)) {
      break;
    }
    if (c != '0') {
      return false;
    }
  }
  return true;
}

std::optional<Data> DataItaliana(std::string_view testo) {
  const std::size_t primo = testo.find('/');
  if (primo == std::string_view::npos) {
    return std::nullopt;
  }
  const std::size_t secondo = testo.find('/', primo + 1);
  if (secondo == std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view giorno = testo.substr(0, primo);
  const std::string_view mese = testo.substr(primo + 1, secondo - primo - 1);
  const std::string_view anno = testo.substr(secondo + 1);
  if (giorno.empty() || giorno.size() > 2 || mese.empty() || mese.size() > 2 || anno.empty() ||
      anno.size() == 3 || anno.size() > 4) {
    return std::nullopt;
  }
  const auto g = Intero(giorno);
  const auto m = Intero(mese);
  auto a = Intero(anno);
  if (!g || !m || !a) {
    return std::nullopt;
  }
  if (anno.size() <= 2) {
    *a += *a < 30 ? 2000 : 1900;
  }
  if (*a < 100 || *m < 1 || *m > 12 || *g < 1 || *g > GiorniDelMese(*m, *a)) {
    return std::nullopt;
  }
  return Data{*g, *m, *a};
}

std::string Formatta(std::string_view valore, std::string_view formato) {
  if (formato.empty()) {
    return std::string(valore);
  }
  const auto data = FormatoConNome(formato) ? std::nullopt : DataItaliana(valore);
  if (data) {
    if (auto conNome = FormatoDataConNome(*data, formato)) {
      return *conNome;
    }
    if (FormatoDiData(formato)) {
      return FormattaData(*data, formato);
    }
  }
  if (const auto numero = NumeroItaliano(valore)) {
    if (FormatoConNome(formato) || FormatoDiNumero(formato)) {
      return FormattaNumero(*numero, formato);
    }
  }
  if (FormatoDiTesto(formato)) {
    return FormattaTesto(valore, formato);
  }
  return std::string(valore);
}

std::string Maiuscolo(std::string_view testo) {
  return CambiaMaiuscole(testo, true);
}
std::string Minuscolo(std::string_view testo) {
  return CambiaMaiuscole(testo, false);
}

}  // namespace orvane
