#include "PaginaCronologia.h"

#include <pugixml.hpp>

#include <sstream>

namespace orvane::servizio {
namespace {

pugi::xml_node Elemento(pugi::xml_node padre, const char* nome, std::string_view testo = {}) {
  auto e = padre.append_child(nome);
  if (!testo.empty()) e.append_child(pugi::node_pcdata).set_value(std::string(testo).c_str());
  return e;
}

}  // namespace

std::string PaginaCronologia::Componi(std::string_view session,
                                      const std::vector<RecordDownload>& download) {
  pugi::xml_document documento;
  auto html = documento.append_child("html");
  html.append_attribute("lang") = "it";
  auto head = Elemento(html, "head");
  Elemento(head, "title", kTitolo);
  Elemento(head, "style",
           "body{font-family:Tahoma,sans-serif;margin:2em}"
           "table{border-collapse:collapse}"
           "th,td{border:1px solid #999;padding:4px 8px;text-align:left}");
  auto body = Elemento(html, "body");
  Elemento(body, "h1", "Cronologia dei download");
  auto sessione = Elemento(body, "p", "Sessione: ");
  Elemento(sessione, "code", session);
  if (download.empty()) {
    Elemento(body, "p", "Nessun download registrato per questa sessione.");
  } else {
    auto tabella = Elemento(body, "table");
    auto intestazione = Elemento(tabella, "tr");
    for (const char* titolo : {"Data", "Cliente", "Codice", "Descrizione"}) {
      Elemento(intestazione, "th", titolo);
    }
    for (const auto& d : download) {
      auto riga = Elemento(tabella, "tr");
      for (const auto& valore : {d.dataxx, d.utente, d.codzip, d.descri}) {
        Elemento(riga, "td", valore);
      }
    }
  }
  std::ostringstream testo;
  testo << "<!DOCTYPE html>\n";
  documento.save(
      testo, "  ",
      pugi::format_indent | pugi::format_no_declaration | pugi::format_no_empty_element_tags,
      pugi::encoding_utf8);
  return testo.str();
}

}  // namespace orvane::servizio
