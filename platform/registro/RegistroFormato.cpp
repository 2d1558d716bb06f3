#include "platform/RegistroFormato.h"

#include <array>
#include <cstdio>
#include <optional>

#include "platform/TestoUtf8.h"

namespace platform {
namespace {

constexpr std::string_view kIntestazione5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kIntestazione4 = "REGEDIT4";
constexpr std::size_t kProblemiElencati = 20;
// Hex data lines are wrapped before they grow past this width, as the
// Windows editor does.
constexpr std::size_t kLarghezzaRigaHex = 76;
// Marks a string of the store that holds UTF-16 data which is not valid
// UTF-16: no UTF-8 text holds the byte 0xFF, and the zero byte before it
// ends the text for readers that stop at the first zero.
constexpr std::string_view kMarcaFuga{"\0\xFF", 2};

// ------------------------------------------------------------ UTF-16 units

bool Alto(char16_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool Basso(char16_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

// The whole units of UTF-16LE bytes (an odd last byte is left out).
std::u16string UnitaDa(std::string_view byte) {
  std::u16string u;
  u.reserve(byte.size() / 2);
  for (std::size_t k = 0; k + 1 < byte.size(); k += 2) {
    u += static_cast<char16_t>(
        static_cast<unsigned char>(byte[k]) |
        (static_cast<unsigned>(static_cast<unsigned char>(byte[k + 1])) << 8U));
  }
  return u;
}

void AggiungiUnita(char16_t u, std::string& out) {
  out += static_cast<char>(u & 0xFFU);
  out += static_cast<char>((u >> 8U) & 0xFFU);
}

std::string ByteDa(std::u16string_view u) {
  std::string out;
  out.reserve(u.size() * 2);
  for (const char16_t c : u)
    AggiungiUnita(c, out);
  return out;
}

void AggiungiCarattere(char32_t c, std::u16string& out) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10U));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FFU));
  } else {
    out += static_cast<char16_t>(c);
  }
}

// Calls `f` with each character of the units, a surrogate pair as one
// character and a lone surrogate as itself.
template <class F>
void PerCarattere(std::u16string_view u, F&& f) {
  for (std::size_t k = 0; k < u.size(); ++k) {
    if (Alto(u[k]) && k + 1 < u.size() && Basso(u[k + 1])) {
      f(0x10000 + ((static_cast<char32_t>(u[k]) - 0xD800) << 10U) + (u[k + 1] - 0xDC00), false);
      ++k;
    } else {
      f(static_cast<char32_t>(u[k]), Alto(u[k]) || Basso(u[k]));
    }
  }
}

bool HaSurrogatiIsolati(std::u16string_view u) {
  bool isolati = false;
  PerCarattere(u, [&isolati](char32_t, bool isolato) { isolati = isolati || isolato; });
  return isolati;
}

// Bytes to units as the store writes them: valid UTF-8 as its characters,
// any other byte b as the lone surrogate U+DC00 + b.
std::u16string UnitaConFuga(std::string_view testo) {
  std::u16string out;
  out.reserve(testo.size());
  std::size_t i = 0;
  while (i < testo.size()) {
    char32_t c = 0;
    const std::size_t n = DecodificaUtf8(testo, i, c);
    if (n == 0) {
      out += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(testo[i]));
      ++i;
    } else {
      AggiungiCarattere(c, out);
      i += n;
    }
  }
  return out;
}

// The bytes that UnitaConFuga turns into exactly these units, if any.
std::optional<std::string> TestoDaUnitaConFuga(std::u16string_view u) {
  std::string out;
  out.reserve(u.size());
  bool possibile = true;
  PerCarattere(u, [&](char32_t c, bool isolato) {
    if (!isolato) {
      CodificaUtf8(c, out);
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out += static_cast<char>(c - 0xDC00);
    } else {
      possibile = false;
    }
  });
  // Bytes that were not valid UTF-8 on their own may be valid together.
  if (!possibile || UnitaConFuga(out) != u) return std::nullopt;
  return out;
}

// Units as generalised UTF-8: characters as UTF-8, a lone surrogate as its
// three-byte form (ED A0..BF 80..BF), which no valid UTF-8 holds.
std::string Wtf8(std::u16string_view u) {
  std::string out;
  out.reserve(u.size());
  PerCarattere(u, [&out](char32_t c, bool) { CodificaUtf8(c, out); });
  return out;
}

// The units of generalised UTF-8; a byte of neither form counts as the lone
// surrogate U+DC00 + byte. `esatto`: false when Wtf8 would not give back
// the same bytes.
std::u16string UnitaDaWtf8(std::string_view s, bool& esatto) {
  std::u16string out;
  esatto = true;
  std::size_t i = 0;
  while (i < s.size()) {
    char32_t c = 0;
    const std::size_t n = DecodificaUtf8(s, i, c);
    if (n > 0) {
      AggiungiCarattere(c, out);
      i += n;
      continue;
    }
    const auto b = [&s](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    if (b(i) == 0xED && i + 2 < s.size() && b(i + 1) >= 0xA0 && b(i + 1) <= 0xBF &&
        (b(i + 2) & 0xC0U) == 0x80) {
      const auto u =
          static_cast<char16_t>(0xD000 | ((b(i + 1) & 0x3FU) << 6U) | (b(i + 2) & 0x3FU));
      // A high and a low surrogate in a row would be written as one pair.
      if (Basso(u) && !out.empty() && Alto(out.back())) esatto = false;
      out += u;
      i += 3;
      continue;
    }
    esatto = false;
    out += static_cast<char16_t>(0xDC00 + b(i));
    ++i;
  }
  return out;
}

std::u16string UnitaDaWtf8(std::string_view s) {
  bool esatto = false;
  return UnitaDaWtf8(s, esatto);
}

// When `testo` is the store's form of UTF-16 data that is not valid UTF-16
// (its characters in generalised UTF-8, 0x00 0xFF, the odd byte if any), that
// data. Such a form is only used for data that the mapping of UnitaConFuga
// does not carry back exactly, so a string of that shape that stands for
// data UnitaConFuga does carry is a plain string (checked down the chain of
// such shapes, each shorter than the one before).
std::optional<std::string> DatiDaFormaDiFuga(std::string_view testo, bool nome) {
  std::optional<std::string> dati;
  std::string x(testo);
  while (true) {
    const std::size_t marca = x.find(kMarcaFuga.back());
    if (marca == std::string::npos || marca == 0 || x[marca - 1] != kMarcaFuga.front()) {
      return std::nullopt;
    }
    const std::string_view dispari = std::string_view(x).substr(marca + 1);
    if (dispari.size() > (nome ? 0U : 1U)) return std::nullopt;
    bool esatto = false;
    const std::u16string u = UnitaDaWtf8(std::string_view(x).substr(0, marca - 1), esatto);
    if (!esatto) return std::nullopt;
    // Valid UTF-16 travels as plain UTF-8.
    if (dispari.empty() && !HaSurrogatiIsolati(u)) return std::nullopt;
    if (!dati) dati = ByteDa(u) + std::string(dispari);
    if (!dispari.empty()) return dati;
    auto semplice = TestoDaUnitaConFuga(u);
    if (!semplice) return dati;
    x = std::move(*semplice);
  }
}

// ---------------------------------------------------- Windows code page 1252

// The characters of the bytes 0x80..0x9F; the five bytes the code page
// leaves free stand for the control characters of the same number, as on
// Windows. Every other byte is the character of the same number.
constexpr std::array<char16_t, 32> kCp1252{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string Utf8DaCp1252(std::string_view byte) {
  std::string out;
  out.reserve(byte.size());
  for (const char c : byte) {
    const auto b = static_cast<unsigned char>(c);
    CodificaUtf8(b >= 0x80 && b < 0xA0 ? kCp1252.at(b - 0x80) : b, out);
  }
  return out;
}

// ------------------------------------------------------------------ reading

bool TipoStringa(std::uint32_t tipo) {
  return tipo == REG_SZ || tipo == REG_EXPAND_SZ || tipo == REG_MULTI_SZ;
}

// Text with its comment (from ";" on) and the blanks around it taken away.
std::string_view SenzaCommento(std::string_view s) {
  return SenzaSpaziAiLati(s.substr(0, s.find(';')));
}

// Whether nothing but blanks and a comment follows.
bool SoloCommento(std::string_view s) {
  s = SenzaSpaziAiLati(s);
  return s.empty() || s.front() == ';';
}

// The text of a file, for the parser: UTF-16 as generalised UTF-8 (so that
// every unit of the file, lone surrogates included, can be told back), code
// page 1252 as UTF-8, UTF-8 as it is.
struct TestoFile {
  std::string testo;
  bool utf16 = false;
};

TestoFile TestoDelFile(std::string_view contenuto) {
  const auto byte = [contenuto](std::size_t k) { return static_cast<unsigned char>(contenuto[k]); };
  if (contenuto.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    return {Wtf8(UnitaDa(contenuto.substr(2))), true};
  }
  if (contenuto.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
    std::string scambiato(contenuto.substr(2));
    for (std::size_t i = 0; i + 1 < scambiato.size(); i += 2)
      std::swap(scambiato[i], scambiato[i + 1]);
    return {Wtf8(UnitaDa(scambiato)), true};
  }
  if (contenuto.substr(0, 3) == "\xEF\xBB\xBF") return {std::string(contenuto.substr(3)), false};
  // Without a byte order mark the Windows editor reads a "REGEDIT4" file in
  // the ANSI code page. A "Windows Registry Editor Version 5.00" file
  // without one is read as UTF-8, as this store wrote its files before.
  const std::size_t inizio = contenuto.find_first_not_of(" \t\r\n");
  if (inizio != std::string_view::npos &&
      contenuto.substr(inizio, kIntestazione4.size()) == kIntestazione4) {
    return {Utf8DaCp1252(contenuto), false};
  }
  return {std::string(contenuto), false};
}

// Reads the quoted text that starts at s[0] == '"'. On success `fine` is the
// position after the closing quote.
std::optional<std::string> StringaTraVirgolette(std::string_view s, std::size_t& fine) {
  std::string out;
  std::size_t i = 1;
  while (i < s.size()) {
    const char c = s[i];
    if (c == '"') {
      fine = i + 1;
      return out;
    }
    if (c == '\\' && i + 1 < s.size()) {
      const char dopo = s[i + 1];
      switch (dopo) {
        case '\\':
        case '"':
          out += dopo;
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        default:
          // Not an escape: both characters are text.
          out += c;
          out += dopo;
          break;
      }
      i += 2;
      continue;
    }
    out += c;
    ++i;
  }
  return std::nullopt;
}

class Analizzatore {
 public:
  Analizzatore(const TestoFile& testo, FileRegistro& file)
      : testo_(testo.testo), utf16_(testo.utf16), file_(file) {}

  void Esegui() {
    std::string_view riga;
    std::size_t numero = 0;
    // The header: the first line that is not blank.
    while (ProssimaRiga(riga, numero)) {
      const std::string_view pulita = SenzaSpaziAiLati(riga);
      if (pulita.empty()) continue;
      if (pulita == kIntestazione5) {
        file_.riconosciuto = true;
      } else if (pulita == kIntestazione4) {
        file_.riconosciuto = true;
        ansi_ = true;
      } else {
        Problema(numero, "manca l'intestazione \"Windows Registry Editor Version 5.00\"");
        return;
      }
      break;
    }
    if (!file_.riconosciuto) {
      if (file_.numeroProblemi == 0) Problema(0, "il file è vuoto");
      return;
    }
    while (ProssimaRiga(riga, numero))
      AnalizzaRiga(riga, numero);
  }

 private:
  bool ProssimaRiga(std::string_view& riga, std::size_t& numero) {
    if (pos_ >= testo_.size()) return false;
    std::size_t fine = testo_.find('\n', pos_);
    if (fine == std::string_view::npos) fine = testo_.size();
    riga = testo_.substr(pos_, fine - pos_);
    if (!riga.empty() && riga.back() == '\r') riga.remove_suffix(1);
    pos_ = fine + 1;
    numero = ++righe_;
    return true;
  }

  void Problema(std::size_t riga, std::string_view descrizione) {
    ++file_.numeroProblemi;
    if (file_.problemi.size() < kProblemiElencati) {
      file_.problemi.push_back({riga, std::string(descrizione)});
    }
  }

  // A name of the file as the store keeps it.
  [[nodiscard]] std::string Nome(std::string_view testo) const {
    return utf16_ ? Utf8DaUtf16le(ByteDa(UnitaDaWtf8(testo)), true) : std::string(testo);
  }

  void AnalizzaRiga(std::string_view grezza, std::size_t numero) {
    const std::string_view riga = SenzaSpaziAiLati(grezza);
    if (riga.empty() || riga.front() == ';') return;
    if (riga.front() == '[') {
      AnalizzaSezione(riga, numero);
      return;
    }
    if (riga.front() != '"' && riga.front() != '@') {
      Problema(numero, "riga non riconosciuta");
      return;
    }
    std::string_view errore;
    auto valore = AnalizzaValore(riga, errore);
    if (!sezione_) {
      if (!sezioneNonValida_) Problema(numero, "valore fuori da ogni chiave");
      return;
    }
    if (!valore) {
      Problema(numero, errore);
      return;
    }
    file_.sezioni[*sezione_].valori.push_back(std::move(*valore));
  }

  void AnalizzaSezione(std::string_view riga, std::size_t numero) {
    sezione_.reset();
    sezioneNonValida_ = true;
    // The name ends at the last "]" before any comment; a key name may hold
    // ";" and "]" itself.
    std::size_t chiusa = riga.rfind(']');
    while (chiusa != std::string_view::npos && !SoloCommento(riga.substr(chiusa + 1))) {
      chiusa = chiusa == 0 ? std::string_view::npos : riga.rfind(']', chiusa - 1);
    }
    if (chiusa == std::string_view::npos || chiusa == 0) {
      Problema(numero, "chiave senza \"]\" di chiusura");
      return;
    }
    std::string_view chiave = riga.substr(1, chiusa - 1);
    bool cancella = false;
    if (!chiave.empty() && chiave.front() == '-') {
      cancella = true;
      chiave.remove_prefix(1);
    }
    if (chiave.empty()) {
      Problema(numero, "nome di chiave vuoto");
      return;
    }
    SezioneFileRegistro sezione;
    sezione.chiave = Nome(chiave);
    sezione.cancella = cancella;
    sezione.riga = numero;
    file_.sezioni.push_back(std::move(sezione));
    sezioneNonValida_ = false;
    if (!cancella) sezione_ = file_.sezioni.size() - 1;
  }

  // The hex data that starts on this line and goes on over the next lines
  // while a line ends in "\" (blank and comment lines in between are
  // skipped, a line that starts a new entry ends it).
  std::string DatiEsadecimali(std::string_view prima) {
    std::string dati(SenzaCommento(prima));
    while (!dati.empty() && dati.back() == '\\') {
      dati.pop_back();
      std::string_view seguito;
      std::size_t n = 0;
      while (true) {
        const std::size_t primaPos = pos_;
        if (!ProssimaRiga(seguito, n)) return dati;
        const std::string_view pulito = SenzaSpaziAiLati(seguito);
        if (SoloCommento(pulito)) continue;
        if (pulito.front() == '[' || pulito.front() == '"' || pulito.front() == '@') {
          // The next entry, not a continuation: read it on its own.
          pos_ = primaPos;
          --righe_;
          return dati;
        }
        dati += SenzaCommento(pulito);
        break;
      }
    }
    return dati;
  }

  std::optional<ValoreFileRegistro> AnalizzaValore(std::string_view riga,
                                                   std::string_view& errore) {
    ValoreFileRegistro v;
    std::size_t i = 0;
    if (riga.front() == '@') {
      i = 1;
    } else {
      auto nome = StringaTraVirgolette(riga, i);
      if (!nome) {
        errore = "nome di valore non terminato";
        return std::nullopt;
      }
      v.nome = Nome(*nome);
    }
    std::string_view resto = SenzaSpaziAiLati(riga.substr(i));
    if (resto.empty() || resto.front() != '=') {
      errore = "manca \"=\" dopo il nome del valore";
      return std::nullopt;
    }
    resto = SenzaSpaziAiLati(resto.substr(1));
    if (!resto.empty() && resto.front() == '-' && SoloCommento(resto.substr(1))) {
      v.cancella = true;
      return v;
    }
    if (!resto.empty() && resto.front() == '"') {
      std::size_t fine = 0;
      auto testo = StringaTraVirgolette(resto, fine);
      if (!testo) {
        errore = "stringa non terminata";
        return std::nullopt;
      }
      if (!SoloCommento(resto.substr(fine))) {
        errore = "testo dopo la stringa";
        return std::nullopt;
      }
      v.tipo = REG_SZ;
      if (utf16_) {
        // The characters of the file with their terminating zero, as the
        // hex form would give them.
        v.dati = Utf8DaUtf16le(ByteDa(UnitaDaWtf8(*testo) + u'\0'));
      } else {
        v.dati = std::move(*testo);
        v.dati += '\0';
      }
      return v;
    }
    if (IniziaSenzaMaiuscoleAscii(resto, "dword:")) {
      const auto n = NumeroEsadecimale(SenzaCommento(resto.substr(6)));
      if (!n) {
        errore = "numero dword non valido";
        return std::nullopt;
      }
      v.tipo = REG_DWORD;
      for (unsigned k = 0; k < 4; ++k)
        v.dati += static_cast<char>((*n >> (8 * k)) & 0xFFU);
      return v;
    }
    if (IniziaSenzaMaiuscoleAscii(resto, "hex")) {
      resto.remove_prefix(3);
      v.tipo = REG_BINARY;
      if (!resto.empty() && resto.front() == '(') {
        const std::size_t chiusa = resto.find(')');
        const auto tipo = chiusa == std::string_view::npos
                              ? std::nullopt
                              : NumeroEsadecimale(resto.substr(1, chiusa - 1));
        if (!tipo) {
          errore = "tipo di valore non valido";
          return std::nullopt;
        }
        v.tipo = *tipo;
        resto.remove_prefix(chiusa + 1);
      }
      if (resto.empty() || resto.front() != ':') {
        errore = "dati non riconosciuti";
        return std::nullopt;
      }
      auto byte = ByteEsadecimali(DatiEsadecimali(resto.substr(1)));
      if (!byte) {
        errore = "byte esadecimali non validi";
        return std::nullopt;
      }
      if (!TipoStringa(v.tipo)) {
        v.dati = std::move(*byte);
      } else {
        v.dati = ansi_ ? Utf8DaCp1252(*byte) : Utf8DaUtf16le(*byte);
      }
      return v;
    }
    errore = "dati non riconosciuti";
    return std::nullopt;
  }

  static std::optional<std::string> ByteEsadecimali(std::string_view s) {
    std::string out;
    s = SenzaSpaziAiLati(s);
    if (s.empty()) return out;
    std::size_t inizio = 0;
    while (true) {
      const std::size_t virgola = s.find(',', inizio);
      const std::string_view voce = SenzaSpaziAiLati(s.substr(
          inizio, virgola == std::string_view::npos ? std::string_view::npos : virgola - inizio));
      const bool ultima = virgola == std::string_view::npos;
      if (voce.empty() && ultima && inizio > 0) break;  // a trailing comma
      const auto n = NumeroEsadecimale(voce);
      if (!n || voce.size() > 2) return std::nullopt;
      out += static_cast<char>(*n);
      if (ultima) break;
      inizio = virgola + 1;
    }
    return out;
  }

  std::string_view testo_;
  bool utf16_ = false;
  FileRegistro& file_;
  std::size_t pos_ = 0;
  std::size_t righe_ = 0;
  bool ansi_ = false;
  std::optional<std::size_t> sezione_;
  bool sezioneNonValida_ = false;
};

// ------------------------------------------------------------------ writing

// Writes UTF-16LE text, keeping count of the characters of the current line.
class Scrittore {
 public:
  void Ascii(std::string_view testo) {
    for (const char c : testo)
      AggiungiUnita(static_cast<unsigned char>(c), out_);
  }
  void Utf16(std::string_view byte) { out_ += byte; }
  void ACapo() {
    Ascii("\r\n");
    inizioRiga_ = out_.size();
  }
  // UTF-16LE bytes between quotation marks, with the editor's escapes.
  void TraVirgolette(std::string_view utf16) {
    Ascii("\"");
    for (const char16_t u : UnitaDa(utf16)) {
      switch (u) {
        case u'\\':
          Ascii("\\\\");
          break;
        case u'"':
          Ascii("\\\"");
          break;
        case u'\n':
          Ascii("\\n");
          break;
        case u'\r':
          Ascii("\\r");
          break;
        default:
          AggiungiUnita(u, out_);
          break;
      }
    }
    Ascii("\"");
  }
  void Esadecimali(std::string_view byte) {
    static constexpr std::array<char, 16> kCifre{'0', '1', '2', '3', '4', '5', '6', '7',
                                                 '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    for (std::size_t k = 0; k < byte.size(); ++k) {
      const auto b = static_cast<unsigned char>(byte[k]);
      const std::array<char, 2> cifre{kCifre.at(b >> 4U), kCifre.at(b & 0x0FU)};
      Ascii(std::string_view(cifre.data(), cifre.size()));
      if (k + 1 == byte.size()) break;
      Ascii(",");
      if (Colonna() > kLarghezzaRigaHex) {
        Ascii("\\");
        ACapo();
        Ascii("  ");
      }
    }
  }
  [[nodiscard]] std::string Testo() && { return std::move(out_); }

 private:
  // The width of the line so far, counted as the Windows editor counts it
  // (two more than its characters).
  [[nodiscard]] std::size_t Colonna() const { return (out_.size() - inizioRiga_) / 2 + 2; }

  std::string out_ = "\xFF\xFE";
  std::size_t inizioRiga_ = 0;
};

// A REG_SZ that the quoted form carries exactly: valid UTF-8 without zero
// bytes or line breaks, ended by one zero byte.
bool ScrivibileTraVirgolette(std::string_view dati) {
  if (dati.empty() || dati.back() != '\0') return false;
  const std::string_view testo = dati.substr(0, dati.size() - 1);
  return testo.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos &&
         Utf8Valido(testo);
}

void AggiungiValore(const ValoreFileRegistro& v, Scrittore& out) {
  if (v.nome.empty()) {
    out.Ascii("@");
  } else {
    out.TraVirgolette(Utf16leDaUtf8(v.nome, true));
  }
  out.Ascii("=");
  if (v.cancella) {
    out.Ascii("-");
  } else if (v.tipo == REG_SZ && ScrivibileTraVirgolette(v.dati)) {
    out.TraVirgolette(Utf16leDaUtf8(std::string_view(v.dati).substr(0, v.dati.size() - 1)));
  } else if (v.tipo == REG_DWORD && v.dati.size() == 4) {
    std::uint32_t n = 0;
    for (unsigned k = 0; k < 4; ++k) {
      n |= static_cast<std::uint32_t>(static_cast<unsigned char>(v.dati[k])) << (8 * k);
    }
    std::array<char, 16> cifre{};
    std::snprintf(cifre.data(), cifre.size(), "dword:%08x", n);
    out.Ascii(cifre.data());
  } else {
    if (v.tipo == REG_BINARY) {
      out.Ascii("hex:");
    } else {
      std::array<char, 16> tipo{};
      std::snprintf(tipo.data(), tipo.size(), "hex(%x):", v.tipo);
      out.Ascii(tipo.data());
    }
    out.Esadecimali(TipoStringa(v.tipo) ? Utf16leDaUtf8(v.dati) : v.dati);
  }
  out.ACapo();
}

}  // namespace

FileRegistro AnalizzaFileRegistro(std::string_view contenuto) {
  FileRegistro file;
  const TestoFile testo = TestoDelFile(contenuto);
  Analizzatore(testo, file).Esegui();
  return file;
}

std::string TestoFileRegistro(const std::vector<SezioneFileRegistro>& sezioni) {
  Scrittore out;
  out.Ascii(kIntestazione5);
  out.ACapo();
  for (const auto& s : sezioni) {
    out.ACapo();
    out.Ascii(s.cancella ? "[-" : "[");
    // A key name has no escapes.
    out.Utf16(Utf16leDaUtf8(s.chiave, true));
    out.Ascii("]");
    out.ACapo();
    for (const auto& v : s.valori)
      AggiungiValore(v, out);
  }
  out.ACapo();
  return std::move(out).Testo();
}

std::string TestoUtf8DelFileRegistro(std::string_view contenuto) {
  return TestoDelFile(contenuto).testo;
}

std::string Utf16leDaUtf8(std::string_view testo, bool nome) {
  if (auto dati = DatiDaFormaDiFuga(testo, nome)) return std::move(*dati);
  return ByteDa(UnitaConFuga(testo));
}

std::string Utf8DaUtf16le(std::string_view byte, bool nome) {
  const std::u16string u = UnitaDa(byte);
  const bool dispari = byte.size() % 2 != 0;
  if (!dispari) {
    if (auto testo = TestoDaUnitaConFuga(u); testo && !DatiDaFormaDiFuga(*testo, nome)) {
      return std::move(*testo);
    }
  }
  std::string out = Wtf8(u);
  out += kMarcaFuga;
  if (dispari) out += byte.back();
  return out;
}

}  // namespace platform
