#include "RecordsetXml.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <sstream>
#include <unordered_map>
#include <utility>

#include "DocumentoXml.h"
#include "platform/TestoUtf8.h"

namespace quomaro {
namespace {

constexpr std::string_view kSpazioSchema = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
constexpr std::string_view kSpazioTipi = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
constexpr std::string_view kSpazioRowset = "urn:schemas-microsoft-com:rowset";
constexpr std::string_view kSpazioRighe = "#RowsetSchema";
constexpr std::string_view kSpazioXml = "http://www.w3.org/XML/1998/namespace";

// What an answer may hold before it is taken for something other than a
// file list, so that a small hostile answer cannot make the reader's time
// or memory grow without bound: namespace declarations in scope (a list
// uses four), columns, and values (rows times columns: every value of a
// row is kept, also the ones the row leaves out).
constexpr std::size_t kDichiarazioniMassime = 64;
constexpr std::size_t kColonneMassime = 256;
constexpr std::size_t kValoriMassimi = 1'000'000;

// A name split at its first colon: prefix (empty when there is none) and
// local part.
struct NomeQualificato {
  std::string_view prefisso;
  std::string_view locale;
};

NomeQualificato Dividi(std::string_view nome) {
  const auto due = nome.find(':');
  if (due == std::string_view::npos) return {{}, nome};
  return {nome.substr(0, due), nome.substr(due + 1)};
}

bool Dichiarazione(std::string_view nome) {
  return nome.starts_with("xmlns") && (nome.size() == 5 || nome[5] == ':');
}

// The namespace declarations in scope at an element.
class Ambito {
 public:
  [[nodiscard]] static bool Dichiara(pugi::xml_node elemento) {
    const auto attributi = elemento.attributes();
    return std::any_of(attributi.begin(), attributi.end(),
                       [](pugi::xml_attribute a) { return Dichiarazione(a.name()); });
  }

  // A scope with more than kDichiarazioniMassime declarations binds no
  // prefix at all, so nothing in it is read as part of a list.
  [[nodiscard]] Ambito Di(pugi::xml_node elemento) const {
    Ambito figlio = *this;
    for (const auto a : elemento.attributes()) {
      const std::string_view nome = a.name();
      if (!Dichiarazione(nome)) continue;
      if (figlio.voci_.size() == kDichiarazioniMassime) {
        figlio.troppe_ = true;
        break;
      }
      figlio.voci_.emplace_back(nome.size() == 5 ? std::string_view() : nome.substr(6),
                                std::string_view(a.value()));
    }
    return figlio;
  }

  // The URI bound to a prefix (the empty prefix: the default namespace,
  // "" when none); nothing for an unbound prefix.
  [[nodiscard]] std::optional<std::string_view> Uri(std::string_view prefisso) const {
    if (troppe_) return std::nullopt;
    if (prefisso == "xml") return kSpazioXml;
    for (auto v = voci_.rbegin(); v != voci_.rend(); ++v) {
      if (v->first != prefisso) continue;
      if (v->second.empty() && !prefisso.empty()) return std::nullopt;
      return v->second;
    }
    if (prefisso.empty()) return std::string_view();
    return std::nullopt;
  }

  // Whether the element, seen from this scope, has this namespace and name.
  [[nodiscard]] bool E(pugi::xml_node elemento, std::string_view uri,
                       std::string_view locale) const {
    const auto nome = Dividi(elemento.name());
    const auto u = Uri(nome.prefisso);
    return u && *u == uri && nome.locale == locale;
  }

 private:
  std::vector<std::pair<std::string_view, std::string_view>> voci_;
  bool troppe_ = false;
};

// A schema attribute resolved to its namespace; `uri` is empty for an
// unprefixed attribute, nothing when the prefix is unbound.
struct AttributoRisolto {
  std::optional<std::string_view> uri;
  std::string_view locale;
  std::string_view valore;
};

AttributoRisolto Risolvi(const Ambito& ambito, pugi::xml_attribute a) {
  const auto nome = Dividi(a.name());
  if (nome.prefisso.empty()) return {std::string_view(), nome.locale, a.value()};
  return {ambito.Uri(nome.prefisso), nome.locale, a.value()};
}

std::optional<AttributoSchema> DaConservare(const AttributoRisolto& a) {
  if (*a.uri == kSpazioRowset)
    return AttributoSchema{SpazioAttributo::Rowset, std::string(a.locale), std::string(a.valore)};
  if (*a.uri == kSpazioTipi)
    return AttributoSchema{SpazioAttributo::TipiDati, std::string(a.locale), std::string(a.valore)};
  return std::nullopt;
}

struct ColonnaLetta {
  ColonnaPersistita colonna;
  std::optional<long> numero;
};

std::optional<ColonnaLetta> LeggiColonna(const Ambito& esterno, pugi::xml_node tipoAttributo) {
  const Ambito ambito = esterno.Di(tipoAttributo);
  ColonnaLetta letta;
  auto& c = letta.colonna;
  std::optional<std::string> nomeReale;
  std::optional<std::string> tipo;
  for (const auto a : tipoAttributo.attributes()) {
    if (Dichiarazione(a.name())) continue;
    const auto r = Risolvi(ambito, a);
    if (!r.uri) return std::nullopt;
    if (r.uri->empty()) {
      if (r.locale == "name") c.nomeXml = r.valore;
    } else if (*r.uri == kSpazioRowset && r.locale == "name") {
      nomeReale = std::string(r.valore);
    } else if (*r.uri == kSpazioRowset && r.locale == "number") {
      long n = 0;
      const auto* const fine = r.valore.data() + r.valore.size();
      const auto [p, errore] = std::from_chars(r.valore.data(), fine, n);
      if (errore == std::errc{} && p == fine) letta.numero = n;
    } else if (*r.uri == kSpazioTipi && r.locale == "type") {
      tipo = std::string(r.valore);
    } else if (auto conservato = DaConservare(r)) {
      c.attributi.push_back(std::move(*conservato));
    }
  }
  for (const auto figlio : tipoAttributo.children()) {
    if (figlio.type() != pugi::node_element) continue;
    const Ambito ambitoFiglio = ambito.Di(figlio);
    if (!ambitoFiglio.E(figlio, kSpazioSchema, "datatype")) continue;
    for (const auto a : figlio.attributes()) {
      if (Dichiarazione(a.name())) continue;
      const auto r = Risolvi(ambitoFiglio, a);
      if (!r.uri) return std::nullopt;
      if (*r.uri == kSpazioTipi && r.locale == "type") {
        tipo = std::string(r.valore);
      } else if (!r.uri->empty()) {
        if (auto conservato = DaConservare(r)) c.attributiTipo.push_back(std::move(*conservato));
      }
    }
    break;
  }
  if (c.nomeXml.empty()) return std::nullopt;
  c.nome = nomeReale && !nomeReale->empty() ? *nomeReale : c.nomeXml;
  c.tipo = tipo && !tipo->empty() ? *tipo : "string";
  c.famiglia = FamigliaDelTipo(c.tipo);
  return letta;
}

std::optional<std::vector<ColonnaPersistita>> LeggiSchema(const Ambito& ambitoSchema,
                                                          pugi::xml_node schema) {
  if (std::string_view(schema.attribute("id").value()) != "RowsetSchema") return std::nullopt;
  for (const auto tipoElemento : schema.children()) {
    if (tipoElemento.type() != pugi::node_element) continue;
    const Ambito ambito = ambitoSchema.Di(tipoElemento);
    if (!ambito.E(tipoElemento, kSpazioSchema, "ElementType") ||
        std::string_view(tipoElemento.attribute("name").value()) != "row") {
      continue;
    }
    std::vector<ColonnaLetta> lette;
    for (const auto figlio : tipoElemento.children()) {
      if (figlio.type() != pugi::node_element) continue;
      if (!ambito.Di(figlio).E(figlio, kSpazioSchema, "AttributeType")) continue;
      auto letta = LeggiColonna(ambito, figlio);
      if (!letta || lette.size() == kColonneMassime) return std::nullopt;
      lette.push_back(std::move(*letta));
    }
    if (lette.empty()) return std::nullopt;
    // The ordinals decide the column order when every column has a distinct one.
    std::vector<long> numeri;
    for (const auto& l : lette) {
      if (l.numero) numeri.push_back(*l.numero);
    }
    std::sort(numeri.begin(), numeri.end());
    if (numeri.size() == lette.size() &&
        std::adjacent_find(numeri.begin(), numeri.end()) == numeri.end()) {
      std::stable_sort(lette.begin(), lette.end(),
                       [](const auto& a, const auto& b) { return *a.numero < *b.numero; });
    }
    std::vector<ColonnaPersistita> colonne;
    colonne.reserve(lette.size());
    std::unordered_map<std::string, bool> nomi;
    for (auto& l : lette) {
      // Fields are found by name without regard to case: two columns whose
      // names differ only in case could not both be read.
      if (!nomi.emplace(platform::MinuscoloAscii(l.colonna.nome), true).second) return std::nullopt;
      colonne.push_back(std::move(l.colonna));
    }
    return colonne;
  }
  return std::nullopt;
}

// Reads the rows of rs:data (and of rs:insert inside it) into `dati`; any
// other element there means the document is not this recordset.
bool LeggiRighe(const Ambito& ambitoDati, pugi::xml_node contenitore, DatiRecordset& dati,
                bool dentroInserimento) {
  std::unordered_map<std::string_view, std::size_t> perNome;
  for (std::size_t i = 0; i < dati.colonne.size(); ++i) {
    if (!perNome.emplace(dati.colonne[i].nomeXml, i).second) return false;
  }
  std::vector<std::optional<std::string>> testi(dati.colonne.size());
  for (const auto riga : contenitore.children()) {
    if (riga.type() != pugi::node_element) continue;
    const Ambito ambito = Ambito::Dichiara(riga) ? ambitoDati.Di(riga) : ambitoDati;
    if (!dentroInserimento && ambito.E(riga, kSpazioRowset, "insert")) {
      if (!LeggiRighe(ambito, riga, dati, true)) return false;
      continue;
    }
    if (!ambito.E(riga, kSpazioRighe, "row")) return false;  // not a row of this schema
    if ((dati.righe.size() + 1) * dati.colonne.size() > kValoriMassimi) return false;
    std::fill(testi.begin(), testi.end(), std::nullopt);
    for (const auto a : riga.attributes()) {
      const std::string_view nome = a.name();
      if (Dichiarazione(nome)) continue;
      const auto q = Dividi(nome);
      if (!q.prefisso.empty()) {
        if (!ambito.Uri(q.prefisso)) return false;
        continue;  // attributes of other namespaces are no columns
      }
      const auto trovata = perNome.find(nome);
      if (trovata == perNome.end() || testi[trovata->second]) return false;
      testi[trovata->second] = std::string(a.value());
    }
    std::vector<Valore> valori;
    valori.reserve(testi.size());
    for (std::size_t i = 0; i < testi.size(); ++i) {
      valori.emplace_back(dati.colonne[i].famiglia, std::move(testi[i]));
    }
    dati.righe.push_back(std::move(valori));
  }
  return true;
}

const char* Prefisso(SpazioAttributo spazio) {
  return spazio == SpazioAttributo::Rowset ? "rs:" : "dt:";
}

void ScriviAttributi(pugi::xml_node elemento, const std::vector<AttributoSchema>& attributi) {
  for (const auto& a : attributi) {
    elemento.append_attribute((Prefisso(a.spazio) + a.nome).c_str()) = a.valore.c_str();
  }
}

}  // namespace

std::optional<DatiRecordset> RecordsetXml::Leggi(std::string_view xml) {
  if (xml.empty()) return std::nullopt;
  pugi::xml_document documento;
  if (!CaricaDocumentoUnico(documento, xml, pugi::encoding_utf8)) return std::nullopt;
  const auto radice = documento.document_element();
  const Ambito ambitoRadice = Ambito().Di(radice);
  if (!ambitoRadice.E(radice, "", "xml")) return std::nullopt;

  pugi::xml_node schema;
  pugi::xml_node righe;
  for (const auto figlio : radice.children()) {
    if (figlio.type() != pugi::node_element) continue;
    const Ambito ambito = ambitoRadice.Di(figlio);
    if (!schema && ambito.E(figlio, kSpazioSchema, "Schema")) schema = figlio;
    if (!righe && ambito.E(figlio, kSpazioRowset, "data")) righe = figlio;
  }
  if (!schema || !righe) return std::nullopt;

  auto colonne = LeggiSchema(ambitoRadice.Di(schema), schema);
  if (!colonne) return std::nullopt;
  DatiRecordset dati;
  dati.colonne = std::move(*colonne);
  if (!LeggiRighe(ambitoRadice.Di(righe), righe, dati, false)) return std::nullopt;
  return dati;
}

std::string RecordsetXml::Scrivi(const DatiRecordset& dati, const std::vector<std::size_t>& righe) {
  pugi::xml_document documento;
  auto radice = documento.append_child("xml");
  radice.append_attribute("xmlns:s") = kSpazioSchema.data();
  radice.append_attribute("xmlns:dt") = kSpazioTipi.data();
  radice.append_attribute("xmlns:rs") = kSpazioRowset.data();
  radice.append_attribute("xmlns:z") = kSpazioRighe.data();

  auto schema = radice.append_child("s:Schema");
  schema.append_attribute("id") = "RowsetSchema";
  auto tipoRiga = schema.append_child("s:ElementType");
  tipoRiga.append_attribute("name") = "row";
  tipoRiga.append_attribute("content") = "eltOnly";
  for (std::size_t i = 0; i < dati.colonne.size(); ++i) {
    const auto& c = dati.colonne[i];
    auto tipoAttributo = tipoRiga.append_child("s:AttributeType");
    tipoAttributo.append_attribute("name") = c.nomeXml.c_str();
    if (c.nome != c.nomeXml) tipoAttributo.append_attribute("rs:name") = c.nome.c_str();
    tipoAttributo.append_attribute("rs:number") = static_cast<unsigned long long>(i) + 1;
    ScriviAttributi(tipoAttributo, c.attributi);
    auto tipoDati = tipoAttributo.append_child("s:datatype");
    tipoDati.append_attribute("dt:type") = c.tipo.c_str();
    ScriviAttributi(tipoDati, c.attributiTipo);
  }
  tipoRiga.append_child("s:extends").append_attribute("type") = "rs:rowbase";

  auto contenitore = radice.append_child("rs:data");
  for (const auto r : righe) {
    auto riga = contenitore.append_child("z:row");
    const auto& valori = dati.righe.at(r);
    for (std::size_t i = 0; i < dati.colonne.size(); ++i) {
      if (valori[i].Nullo()) continue;
      riga.append_attribute(dati.colonne[i].nomeXml.c_str()) = valori[i].Testo().c_str();
    }
  }
  std::ostringstream testo;
  documento.save(testo, "\t", pugi::format_indent | pugi::format_no_declaration,
                 pugi::encoding_utf8);
  return testo.str();
}

}  // namespace quomaro
