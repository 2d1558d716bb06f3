#include "TabellaRecordset.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace quomaro::strumento {
namespace {

constexpr std::string_view kSeparatore = "  ";

// Characters in UTF-8 text: every byte that does not continue a sequence.
std::size_t Larghezza(std::string_view testo) {
  return static_cast<std::size_t>(std::count_if(testo.begin(), testo.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
  }));
}

std::string Cella(const Valore& v) {
  return v.Nullo() ? std::string("NULL") : SuUnaRiga(v.Testo());
}

void Allinea(std::string& out, const std::string& testo, std::size_t larghezza, bool aDestra) {
  const std::string riempimento(larghezza - std::min(larghezza, Larghezza(testo)), ' ');
  if (aDestra) out += riempimento;
  out += testo;
  if (!aDestra) out += riempimento;
}

}  // namespace

std::string SuUnaRiga(std::string_view testo) {
  std::string riga;
  riga.reserve(testo.size());
  for (std::size_t i = 0; i < testo.size(); ++i) {
    const auto c = static_cast<unsigned char>(testo[i]);
    if (c == '\r' && i + 1 < testo.size() && testo[i + 1] == '\n') ++i;
    // U+0080 to U+009F: the two bytes C2 80 to C2 9F.
    const bool c1 = c == 0xC2U && i + 1 < testo.size() &&
                    (static_cast<unsigned char>(testo[i + 1]) & 0xE0U) == 0x80U;
    if (c1) ++i;
    riga.push_back(c < 0x20U || c == 0x7FU || c1 ? ' ' : testo[i]);
  }
  return riga;
}

std::string TabellaRecordset(Recordset& rs) {
  const std::vector<Colonna> colonne = rs.Colonne();
  std::vector<std::vector<std::string>> righe;
  // The column names come from the service as the values do.
  std::vector<std::string> nomi;
  std::vector<std::size_t> larghezze;
  std::vector<bool> numeriche;
  for (const auto& c : colonne) {
    nomi.push_back(SuUnaRiga(c.nome));
    larghezze.push_back(Larghezza(nomi.back()));
    const TipoCampo famiglia = FamigliaDelTipo(c.tipo);
    numeriche.push_back(famiglia == TipoCampo::Intero || famiglia == TipoCampo::Decimale);
  }
  for (rs.MoveFirst(); !rs.EOF_(); rs.MoveNext()) {
    std::vector<std::string> riga;
    for (std::size_t i = 0; i < colonne.size(); ++i) {
      riga.push_back(Cella(rs.Campo(i)));
      larghezze[i] = std::max(larghezze[i], Larghezza(riga.back()));
    }
    righe.push_back(std::move(riga));
  }
  rs.MoveFirst();

  std::string out;
  // Trailing blanks of a line are dropped, so the last column is not padded.
  const auto fineRiga = [&out] {
    while (!out.empty() && out.back() == ' ')
      out.pop_back();
    out += '\n';
  };
  for (std::size_t i = 0; i < colonne.size(); ++i) {
    if (i > 0) out += kSeparatore;
    Allinea(out, nomi[i], larghezze[i], numeriche[i]);
  }
  fineRiga();
  for (std::size_t i = 0; i < colonne.size(); ++i) {
    if (i > 0) out += kSeparatore;
    out += std::string(larghezze[i], '-');
  }
  fineRiga();
  for (const auto& riga : righe) {
    for (std::size_t i = 0; i < riga.size(); ++i) {
      if (i > 0) out += kSeparatore;
      Allinea(out, riga[i], larghezze[i], numeriche[i]);
    }
    fineRiga();
  }
  out += righe.size() == 1 ? "(1 riga)\n" : "(" + std::to_string(righe.size()) + " righe)\n";
  return out;
}

}  // namespace quomaro::strumento
