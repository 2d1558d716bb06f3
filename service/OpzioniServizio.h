#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvane::servizio {

/// The command line of orvane-service:
///   orvane-service --data DIR [--listen HOST:PORT] [--seed FILE]
class OpzioniServizio {
 public:
  static constexpr const char* kUso =
      "Uso: orvane-service --data CARTELLA [--listen HOST:PORTA] [--seed CATALOGO.json]\n"
      "  --data    cartella dei dati del servizio (database e pacchetti), creata se manca\n"
      "  --listen  indirizzo di ascolto (predefinito 127.0.0.1:8080; porta 0 = una porta libera)\n"
      "  --seed    catalogo JSON di clienti e pacchetti da caricare all'avvio\n";

  /// Reads the arguments after the program name; throws
  /// std::invalid_argument with the reason for a bad command line.
  [[nodiscard]] static OpzioniServizio Leggi(const std::vector<std::string>& argomenti);

  std::filesystem::path dati;
  std::string host = "127.0.0.1";
  int porta = 8080;
  std::optional<std::filesystem::path> catalogo;
  bool aiuto = false;
};

}  // namespace orvane::servizio
