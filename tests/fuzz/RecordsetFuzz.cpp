// Reads arbitrary text as a persisted recordset. Whatever opens must offer
// every field, sort, and save to a text that reads back as the same
// recordset.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "quomaro/Recordset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
  const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
  quomaro::Recordset rs;
  if (!rs.Apri(testo)) {
    if (rs.State() != quomaro::Recordset::adStateClosed || !rs.EOF_()) std::abort();
    return 0;
  }
  const auto colonne = rs.Colonne();
  for (rs.MoveFirst(); !rs.EOF_(); rs.MoveNext()) {
    for (std::size_t i = 0; i < colonne.size(); ++i) {
      const quomaro::Valore v = rs.Campo(i);
      (void)v.Intero();
      (void)v.Numero();
      (void)v.Booleano();
      (void)v.Data();
    }
  }
  std::string criterio;
  for (const auto& c : colonne) {
    if (c.nome.find_first_of("],") != std::string::npos) continue;
    criterio += (criterio.empty() ? "[" : ", [") + c.nome + "] DESC";
  }
  if (!criterio.empty()) rs.Sort(criterio);

  const std::string salvato = rs.Save();
  quomaro::Recordset riletto;
  if (!riletto.Apri(salvato) || riletto.RecordCount() != rs.RecordCount() ||
      riletto.Save() != salvato) {
    std::abort();
  }
  return 0;
}
