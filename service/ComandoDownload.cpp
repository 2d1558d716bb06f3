#include "service/ComandoDownload.h"

#include <array>
#include <string>
#include <vector>

#include "platform/TestoUtf8.h"

namespace orvane::servizio {
namespace {

enum class Tipo { Parola, Letterale, Simbolo };

struct Gettone {
  Tipo tipo;
  std::string testo;
};

bool Lettera(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Words, quoted literals and the symbols ( ) , ; nothing else is allowed
// (no comments, no operators).
std::optional<std::vector<Gettone>> Dividi(std::string_view sql) {
  std::vector<Gettone> gettoni;
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (platform::BiancoAscii(c)) {
      ++i;
    } else if (c == '(' || c == ')' || c == ',' || c == ';') {
      gettoni.push_back({Tipo::Simbolo, std::string(1, c)});
      ++i;
    } else if (c == '\'') {
      std::string valore;
      ++i;
      for (;;) {
        if (i >= sql.size()) return std::nullopt;  // literal never closed
        if (sql[i] == '\'') {
          if (i + 1 < sql.size() && sql[i + 1] == '\'') {
            valore += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        valore += sql[i++];
      }
      gettoni.push_back({Tipo::Letterale, std::move(valore)});
    } else if (Lettera(c)) {
      const std::size_t inizio = i;
      while (i < sql.size() && Lettera(sql[i]))
        ++i;
      gettoni.push_back({Tipo::Parola, platform::MinuscoloAscii(sql.substr(inizio, i - inizio))});
    } else {
      return std::nullopt;
    }
  }
  return gettoni;
}

}  // namespace

std::optional<RecordDownload> ComandoDownload::Leggi(std::string_view sql) {
  const auto gettoni = Dividi(sql);
  if (!gettoni) return std::nullopt;
  // The expected shape; "?" marks a literal.
  static const std::array<std::string_view, 26> kForma{
      "insert", "into",   "download", "(",       "dataxx", ",",      "utente", ",", "codzip",
      ",",      "descri", ",",        "session", ")",      "values", "(",      "?", ",",
      "?",      ",",      "?",        ",",       "?",      ",",      "?",      ")"};
  std::size_t n = gettoni->size();
  if (n == kForma.size() + 1 && gettoni->back().tipo == Tipo::Simbolo &&
      gettoni->back().testo == ";") {
    --n;  // one closing semicolon is harmless
  }
  if (n != kForma.size()) return std::nullopt;
  std::vector<std::string> valori;
  for (std::size_t i = 0; i < n; ++i) {
    const auto& g = (*gettoni)[i];
    if (kForma[i] == "?") {
      if (g.tipo != Tipo::Letterale) return std::nullopt;
      valori.push_back(g.testo);
    } else if (g.tipo == Tipo::Letterale || g.testo != kForma[i]) {
      return std::nullopt;
    }
  }
  return RecordDownload{valori[0], valori[1], valori[2], valori[3], valori[4]};
}

}  // namespace orvane::servizio
