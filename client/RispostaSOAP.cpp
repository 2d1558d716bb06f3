#include "RispostaSOAP.h"

#include <cstring>
#include <string_view>

#include <pugixml.hpp>

#include "DocumentoXml.h"
#include "platform/TestoUtf8.h"

namespace quomaro {
namespace {

// The next node after `n` in document order; empty after the last node
// below `radice`.
pugi::xml_node Successivo(pugi::xml_node n, const pugi::xml_node radice) {
  if (!n.first_child().empty()) return n.first_child();
  while (!n.empty() && n != radice) {
    if (!n.next_sibling().empty()) return n.next_sibling();
    n = n.parent();
  }
  return {};
}

pugi::xml_node PrimoElemento(const pugi::xml_node radice, const char* nome) {
  for (pugi::xml_node n = radice.first_child(); !n.empty(); n = Successivo(n, radice)) {
    if (n.type() == pugi::node_element && std::strcmp(n.name(), nome) == 0) return n;
  }
  return {};
}

bool Testo(const pugi::xml_node n) {
  return n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata;
}

// The element's text without the white space at its two ends, copied once.
std::string TestoContenuto(const pugi::xml_node elemento) {
  const pugi::xml_node primo = elemento.first_child();
  if (!primo.empty() && primo.next_sibling().empty() && Testo(primo))
    return std::string(platform::SenzaBianchiAiLati(primo.value()));
  std::string testo;
  for (pugi::xml_node n = primo; !n.empty(); n = Successivo(n, elemento)) {
    if (Testo(n)) testo += n.value();
  }
  const std::string_view senza = platform::SenzaBianchiAiLati(testo);
  const auto inizio = static_cast<std::size_t>(senza.data() - testo.data());
  testo.resize(inizio + senza.size());
  testo.erase(0, inizio);
  return testo;
}

// An element's name without its prefix.
std::string_view NomeLocale(const pugi::xml_node n) {
  const std::string_view nome = n.name();
  const auto duePunti = nome.find(':');
  return duePunti == std::string_view::npos ? nome : nome.substr(duePunti + 1);
}

// The charset parameter of a Content-Type, without its quotes; empty when
// there is none.
std::string_view Charset(std::string_view tipo) {
  for (auto i = tipo.find(';'); i != std::string_view::npos;) {
    const auto fine = tipo.find(';', i + 1);
    const std::string_view parametro =
        tipo.substr(i + 1, fine == std::string_view::npos ? std::string_view::npos : fine - i - 1);
    const auto uguale = parametro.find('=');
    if (uguale != std::string_view::npos &&
        platform::UgualiSenzaMaiuscoleAscii(
            platform::SenzaBianchiAiLati(parametro.substr(0, uguale)), "charset")) {
      std::string_view valore = platform::SenzaBianchiAiLati(parametro.substr(uguale + 1));
      if (valore.size() >= 2 && valore.front() == '"' && valore.back() == '"')
        valore = valore.substr(1, valore.size() - 2);
      return valore;
    }
    i = fine;
  }
  return {};
}

pugi::xml_encoding Codifica(std::string_view risposta, std::string_view tipo) {
  const std::string_view charset = Charset(tipo);
  if (!platform::UgualiSenzaMaiuscoleAscii(charset, "ISO-8859-1") &&
      !platform::UgualiSenzaMaiuscoleAscii(charset, "ISO_8859-1") &&
      !platform::UgualiSenzaMaiuscoleAscii(charset, "latin1")) {
    return pugi::encoding_auto;
  }
  const bool distinta = risposta.starts_with("\xEF\xBB\xBF") || risposta.starts_with("\xFE\xFF") ||
                        risposta.starts_with("\xFF\xFE");
  const bool dichiarata =
      risposta.starts_with("<?xml") &&
      risposta.substr(0, risposta.find("?>")).find("encoding") != std::string_view::npos;
  if (distinta || dichiarata || platform::Utf8Valido(risposta)) return pugi::encoding_auto;
  return pugi::encoding_latin1;
}

}  // namespace

bool ContieneGuasto(std::string_view risposta) {
  pugi::xml_document documento;
  if (!CaricaDocumentoUnico(documento, risposta)) return false;
  const pugi::xml_node busta = documento.document_element();
  if (NomeLocale(busta) != "Envelope") return false;
  for (const pugi::xml_node corpo : busta.children()) {
    if (corpo.type() != pugi::node_element || NomeLocale(corpo) != "Body") continue;
    for (const pugi::xml_node n : corpo.children()) {
      if (n.type() == pugi::node_element && NomeLocale(n) == "Fault") return true;
    }
  }
  return false;
}

std::optional<std::string> TestoRitorno(std::string_view risposta,
                                        const std::function<void()>& rilascia,
                                        std::string_view tipo) {
  pugi::xml_document documento;
  // An answer that does not parse whole is no answer: a body cut short after
  // its verdict must not pass for the verdict.
  // Nor is more than one document, or text after it.
  if (!CaricaDocumentoUnico(documento, risposta, Codifica(risposta, tipo))) return std::nullopt;
  const pugi::xml_node ritorno = PrimoElemento(documento.root(), "return");
  if (ritorno.empty()) return std::nullopt;
  if (rilascia) rilascia();
  // Read as the element's text: the white space that indents it is not part
  // of the value.
  return TestoContenuto(ritorno);
}

}  // namespace quomaro
