#include "service/CodificaSOAP.h"

#include <pugixml.hpp>

#include <algorithm>
#include <optional>
#include <sstream>

namespace orvane::servizio {
namespace {

using Lato = GuastoSOAP::Lato;

[[noreturn]] void Malformata(const std::string& motivo) {
  throw GuastoSOAP(Lato::Mittente, "Richiesta SOAP non valida: " + motivo);
}

std::string_view Locale(std::string_view nome) {
  const auto due = nome.find(':');
  return due == std::string_view::npos ? nome : nome.substr(due + 1);
}

// The namespace URI of an element, from the declarations on it and above it
// (the walk up is bounded by the envelope's depth, never deep).
std::optional<std::string> Spazio(pugi::xml_node elemento) {
  const std::string_view nome = elemento.name();
  const auto due = nome.find(':');
  const std::string dichiarazione =
      due == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(nome.substr(0, due));
  for (auto n = elemento; !n.empty() && n.type() == pugi::node_element; n = n.parent()) {
    if (const auto a = n.attribute(dichiarazione.c_str())) return std::string(a.value());
  }
  if (due == std::string_view::npos) return std::string();
  return std::nullopt;
}

pugi::xml_node PrimoElemento(pugi::xml_node padre) {
  for (auto n = padre.first_child(); !n.empty(); n = n.next_sibling()) {
    if (n.type() == pugi::node_element) return n;
  }
  return {};
}

std::string Serializza(const pugi::xml_document& documento) {
  std::ostringstream testo;
  documento.save(testo, "", pugi::format_raw, pugi::encoding_utf8);
  return testo.str();
}

struct Busta {
  pugi::xml_document documento;
  pugi::xml_node corpo;
};

void CreaBusta(Busta& b, std::string_view spazio) {
  auto dichiarazione = b.documento.append_child(pugi::node_declaration);
  dichiarazione.append_attribute("version") = "1.0";
  dichiarazione.append_attribute("encoding") = "utf-8";
  auto busta = b.documento.append_child("SOAP-ENV:Envelope");
  busta.append_attribute("xmlns:SOAP-ENV") = std::string(spazio).c_str();
  busta.append_attribute("xmlns:xsd") = "http://www.w3.org/2001/XMLSchema";
  busta.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
  busta.append_attribute("xmlns:ns1") = std::string(CodificaSOAP::kServizio).c_str();
  b.corpo = busta.append_child("SOAP-ENV:Body");
}

}  // namespace

const std::string& RichiestaSOAP::Parametro(std::string_view nome) const {
  for (const auto& [n, valore] : parametri) {
    if (n == nome) return valore;
  }
  throw GuastoSOAP(Lato::Mittente, "Parametro mancante: " + std::string(nome));
}

RichiestaSOAP CodificaSOAP::Leggi(std::string_view corpo) {
  if (corpo.empty()) Malformata("corpo vuoto");
  // Each element or attribute costs the parsed document and the request
  // far more than its bytes (a body of "<p/>" over the whole size allowed
  // took hundreds of megabytes): a request has a few dozen, and one with
  // thousands is refused before it is parsed.
  const auto marche =
      std::count_if(corpo.begin(), corpo.end(), [](char c) { return c == '<' || c == '='; });
  if (static_cast<std::size_t>(marche) > kMarcheMassime) {
    Malformata("troppi elementi o attributi");
  }
  pugi::xml_document documento;
  const auto esito =
      documento.load_buffer(corpo.data(), corpo.size(), pugi::parse_default, pugi::encoding_auto);
  if (!esito) Malformata(std::string("XML non leggibile (") + esito.description() + ")");
  const auto busta = documento.document_element();
  const auto spazio = Spazio(busta);
  if (Locale(busta.name()) != "Envelope" || !spazio ||
      (*spazio != kBusta2001 && *spazio != kBusta11 && *spazio != kBusta12)) {
    Malformata("manca la busta SOAP");
  }
  pugi::xml_node body;
  for (auto n = busta.first_child(); !n.empty(); n = n.next_sibling()) {
    if (n.type() == pugi::node_element && Locale(n.name()) == "Body" && Spazio(n) == *spazio) {
      body = n;
      break;
    }
  }
  if (body.empty()) Malformata("manca il corpo SOAP");
  const auto operazione = PrimoElemento(body);
  if (operazione.empty()) Malformata("manca l'operazione");

  RichiestaSOAP richiesta;
  richiesta.spazioBusta = *spazio;
  richiesta.operazione = Locale(operazione.name());
  for (auto p = operazione.first_child(); !p.empty(); p = p.next_sibling()) {
    if (p.type() != pugi::node_element) continue;
    std::string testo;
    for (auto t = p.first_child(); !t.empty(); t = t.next_sibling()) {
      if (t.type() == pugi::node_pcdata || t.type() == pugi::node_cdata) testo += t.value();
    }
    richiesta.parametri.emplace_back(Locale(p.name()), std::move(testo));
  }
  return richiesta;
}

std::string CodificaSOAP::Risposta(std::string_view spazioBusta, std::string_view operazione,
                                   std::string_view valore) {
  Busta b;
  CreaBusta(b, spazioBusta);
  auto risposta = b.corpo.append_child(("ns1:" + std::string(operazione) + "Response").c_str());
  auto ritorno = risposta.append_child("return");
  ritorno.append_attribute("xsi:type") = "xsd:string";
  ritorno.append_child(pugi::node_pcdata).set_value(std::string(valore).c_str());
  return Serializza(b.documento);
}

std::string CodificaSOAP::Guasto(std::string_view spazioBusta, const GuastoSOAP& guasto) {
  const bool soap12 = spazioBusta == kBusta12;
  if (spazioBusta != kBusta2001 && spazioBusta != kBusta11 && !soap12) spazioBusta = kBusta11;
  Busta b;
  CreaBusta(b, spazioBusta);
  auto fault = b.corpo.append_child("SOAP-ENV:Fault");
  const bool mittente = guasto.Origine() == Lato::Mittente;
  if (soap12) {
    fault.append_child("SOAP-ENV:Code")
        .append_child("SOAP-ENV:Value")
        .text()
        .set(mittente ? "SOAP-ENV:Sender" : "SOAP-ENV:Receiver");
    auto testo = fault.append_child("SOAP-ENV:Reason").append_child("SOAP-ENV:Text");
    testo.append_attribute("xml:lang") = "it";
    testo.text().set(guasto.what());
  } else {
    fault.append_child("faultcode").text().set(mittente ? "SOAP-ENV:Client" : "SOAP-ENV:Server");
    fault.append_child("faultstring").text().set(guasto.what());
  }
  return Serializza(b.documento);
}

}  // namespace orvane::servizio
