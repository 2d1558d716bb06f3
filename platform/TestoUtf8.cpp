#include "platform/TestoUtf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace platform {
namespace {

char32_t Maiuscola(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  if (c < 0x80) return c;
  // Latin-1: à..þ except the division sign; ÿ has its capital in Latin Extended-A.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  // Latin Extended-A: capital and small letters in pairs, but for the Turkish
  // İ and ı (U+0130, U+0131), which are no pair: Windows leaves both as they
  // are (their partners are the ASCII i and I).
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
    return c & ~char32_t{1};
  }
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
    return (c % 2 == 0) ? c - 1 : c;
  }
  // Greek small letters; final sigma folds to sigma.
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x3B1 && c <= 0x3C9) return c - 0x20;
  // Cyrillic.
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

}  // namespace

std::size_t DecodificaUtf8(std::string_view testo, std::size_t i, char32_t& c) {
  const std::string_view s = testo;
  const auto b = static_cast<unsigned char>(s[i]);
  std::size_t lunghezza = 0;
  char32_t minimo = 0;
  if (b < 0x80) {
    c = b;
    return 1;
  }
  if ((b & 0xE0) == 0xC0) {
    lunghezza = 2;
    c = b & 0x1FU;
    minimo = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    lunghezza = 3;
    c = b & 0x0FU;
    minimo = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    lunghezza = 4;
    c = b & 0x07U;
    minimo = 0x10000;
  } else {
    return 0;
  }
  if (i + lunghezza > s.size()) return 0;
  for (std::size_t k = 1; k < lunghezza; ++k) {
    const auto seguito = static_cast<unsigned char>(s[i + k]);
    if ((seguito & 0xC0) != 0x80) return 0;
    c = (c << 6U) | (seguito & 0x3FU);
  }
  if (c < minimo || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return lunghezza;
}

void CodificaUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6U));
    out += static_cast<char>(0x80 | (c & 0x3FU));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12U));
    out += static_cast<char>(0x80 | ((c >> 6U) & 0x3FU));
    out += static_cast<char>(0x80 | (c & 0x3FU));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18U));
    out += static_cast<char>(0x80 | ((c >> 12U) & 0x3FU));
    out += static_cast<char>(0x80 | ((c >> 6U) & 0x3FU));
    out += static_cast<char>(0x80 | (c & 0x3FU));
  }
}

std::string TestoAccorciato(std::string_view testo, std::size_t massimo) {
  if (testo.size() <= massimo) return std::string(testo);
  std::size_t taglio = massimo;
  // Back to the start of the character that the cut would split.
  while (taglio > 0 && (static_cast<unsigned char>(testo[taglio]) & 0xC0U) == 0x80U)
    --taglio;
  // Written with snprintf: std::to_string would bring a unique symbol into
  // every library that shows a message box, and such a library can never
  // be unloaded again.
  char lunghezza[48];
  std::snprintf(lunghezza, sizeof lunghezza, "... (%zu byte)", testo.size());
  return std::string(testo.substr(0, taglio)) + lunghezza;
}

std::string ControlliVisibili(std::string_view testo) {
  static constexpr std::string_view kCifre = "0123456789abcdef";
  std::string out;
  out.reserve(testo.size());
  for (std::size_t i = 0; i < testo.size(); ++i) {
    const auto b = static_cast<unsigned char>(testo[i]);
    const bool c1 = b == 0xC2 && i + 1 < testo.size() &&
                    static_cast<unsigned char>(testo[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(testo[i + 1]) <= 0x9F;
    if (b >= 0x20 && b != 0x7F && !c1) {
      out += testo[i];
      continue;
    }
    const auto codice = c1 ? static_cast<unsigned char>(testo[++i]) : b;
    out += "\\x";
    out += kCifre[codice >> 4U];
    out += kCifre[codice & 0x0FU];
  }
  return out;
}

bool CarattereXml(char32_t c) {
  return (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') && c != 0xFFFE && c != 0xFFFF;
}

std::string TestoPerXml(std::string_view testo) {
  std::string risultato;
  risultato.reserve(testo.size());
  for (std::size_t i = 0; i < testo.size();) {
    char32_t c = 0;
    const std::size_t n = DecodificaUtf8(testo, i, c);
    if (n == 0 || !CarattereXml(c)) {
      risultato += ' ';
      i += n == 0 ? 1 : n;
    } else {
      risultato.append(testo.substr(i, n));
      i += n;
    }
  }
  return risultato;
}

bool Utf8Valido(std::string_view testo) {
  std::size_t i = 0;
  while (i < testo.size()) {
    char32_t c = 0;
    const std::size_t n = DecodificaUtf8(testo, i, c);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string MaiuscoloPerConfrontoUtf8(std::string_view testo) {
  std::string out;
  out.reserve(testo.size());
  std::size_t i = 0;
  while (i < testo.size()) {
    char32_t c = 0;
    const std::size_t n = DecodificaUtf8(testo, i, c);
    if (n == 0) {
      out += testo[i];
      ++i;
      continue;
    }
    CodificaUtf8(Maiuscola(c), out);
    i += n;
  }
  return out;
}

bool UgualiSenzaMaiuscoleUtf8(std::string_view a, std::string_view b) {
  return a == b || MaiuscoloPerConfrontoUtf8(a) == MaiuscoloPerConfrontoUtf8(b);
}

std::string MinuscoloAscii(std::string_view testo) {
  std::string r(testo);
  for (char& c : r)
    c = MinuscolaAscii(c);
  return r;
}

std::string MaiuscoloAscii(std::string_view testo) {
  std::string r(testo);
  for (char& c : r)
    c = MaiuscolaAscii(c);
  return r;
}

bool UgualiSenzaMaiuscoleAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && IniziaSenzaMaiuscoleAscii(a, b);
}

bool IniziaSenzaMaiuscoleAscii(std::string_view testo, std::string_view prefisso) {
  if (testo.size() < prefisso.size()) return false;
  for (std::size_t i = 0; i < prefisso.size(); ++i) {
    if (MinuscolaAscii(testo[i]) != MinuscolaAscii(prefisso[i])) return false;
  }
  return true;
}

int ConfrontaSenzaMaiuscoleAscii(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(MinuscolaAscii(a[i]));
    const auto y = static_cast<unsigned char>(MinuscolaAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool BiancoAscii(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view SenzaBianchiAiLati(std::string_view testo) {
  while (!testo.empty() && BiancoAscii(testo.front()))
    testo.remove_prefix(1);
  while (!testo.empty() && BiancoAscii(testo.back()))
    testo.remove_suffix(1);
  return testo;
}

std::string_view SenzaCaratteriSpazioAiLati(std::string_view testo) {
  while (!testo.empty() && testo.front() == ' ')
    testo.remove_prefix(1);
  while (!testo.empty() && testo.back() == ' ')
    testo.remove_suffix(1);
  return testo;
}

bool SpazioOrizzontale(char c) {
  return c == ' ' || c == '\t';
}

std::string_view SenzaSpaziAiLati(std::string_view testo) {
  while (!testo.empty() && SpazioOrizzontale(testo.front()))
    testo.remove_prefix(1);
  while (!testo.empty() && SpazioOrizzontale(testo.back()))
    testo.remove_suffix(1);
  return testo;
}

int ValoreCifraEsadecimale(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::uint32_t> NumeroEsadecimale(std::string_view testo) {
  if (testo.empty() || testo.size() > 8) return std::nullopt;
  std::uint32_t n = 0;
  for (const char c : testo) {
    const int v = ValoreCifraEsadecimale(c);
    if (v < 0) return std::nullopt;
    n = (n << 4U) | static_cast<std::uint32_t>(v);
  }
  return n;
}

}  // namespace platform
