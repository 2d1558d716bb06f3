#include "platform/RegistroFormato.h"

#include <array>
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

bool IniziaSenzaMaiuscole(std::string_view s, std::string_view prefisso) {
  if (s.size() < prefisso.size()) return false;
  for (std::size_t i = 0; i < prefisso.size(); ++i) {
    const char a = s[i] >= 'A' && s[i] <= 'Z' ? static_cast<char>(s[i] + ('a' - 'A')) : s[i];
    if (a != prefisso[i]) return false;
  }
  return true;
}

// A number of 1 to 8 hex digits, nothing else.
std::optional<std::uint32_t> NumeroEsadecimale(std::string_view s) {
  if (s.empty() || s.size() > 8) return std::nullopt;
  std::uint32_t n = 0;
  for (const char c : s) {
    const int v = ValoreCifraEsadecimale(c);
    if (v < 0) return std::nullopt;
    n = (n << 4U) | static_cast<std::uint32_t>(v);
  }
  return n;
}

bool TipoStringa(std::uint32_t tipo) {
  return tipo == REG_SZ || tipo == REG_EXPAND_SZ || tipo == REG_MULTI_SZ;
}

// The text of a file in UTF-8, whatever its byte order mark said.
std::string TestoDelFile(std::string_view contenuto) {
  if (contenuto.size() >= 2 && static_cast<unsigned char>(contenuto[0]) == 0xFF &&
      static_cast<unsigned char>(contenuto[1]) == 0xFE) {
    return Utf8DaUtf16le(contenuto.substr(2));
  }
  if (contenuto.size() >= 2 && static_cast<unsigned char>(contenuto[0]) == 0xFE &&
      static_cast<unsigned char>(contenuto[1]) == 0xFF) {
    std::string scambiato(contenuto.substr(2));
    for (std::size_t i = 0; i + 1 < scambiato.size(); i += 2)
      std::swap(scambiato[i], scambiato[i + 1]);
    return Utf8DaUtf16le(scambiato);
  }
  if (contenuto.substr(0, 3) == "\xEF\xBB\xBF") return std::string(contenuto.substr(3));
  return std::string(contenuto);
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
  Analizzatore(std::string_view testo, FileRegistro& file) : testo_(testo), file_(file) {}

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
    // Hex data may go on over the next lines, each but the last ending in "\".
    std::string completa(riga);
    while (!completa.empty() && completa.back() == '\\') {
      std::string_view seguito;
      std::size_t n = 0;
      const std::size_t prima = pos_;
      if (!ProssimaRiga(seguito, n)) break;
      const std::string_view pulito = SenzaSpaziAiLati(seguito);
      if (!pulito.empty() &&
          (pulito.front() == '[' || pulito.front() == '"' || pulito.front() == '@')) {
        // The next entry, not a continuation: read it on its own.
        pos_ = prima;
        --righe_;
        break;
      }
      completa.pop_back();
      completa += pulito;
    }
    if (!sezione_) {
      if (!sezioneNonValida_) Problema(numero, "valore fuori da ogni chiave");
      return;
    }
    std::string_view errore;
    auto valore = AnalizzaValore(completa, errore);
    if (!valore) {
      Problema(numero, errore);
      return;
    }
    file_.sezioni[*sezione_].valori.push_back(std::move(*valore));
  }

  void AnalizzaSezione(std::string_view riga, std::size_t numero) {
    sezione_.reset();
    sezioneNonValida_ = true;
    const std::size_t chiusa = riga.rfind(']');
    if (chiusa == std::string_view::npos || chiusa != riga.size() - 1) {
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
    sezione.chiave = std::string(chiave);
    sezione.cancella = cancella;
    sezione.riga = numero;
    file_.sezioni.push_back(std::move(sezione));
    sezioneNonValida_ = false;
    if (!cancella) sezione_ = file_.sezioni.size() - 1;
  }

  std::optional<ValoreFileRegistro> AnalizzaValore(std::string_view riga,
                                                   std::string_view& errore) const {
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
      v.nome = std::move(*nome);
    }
    std::string_view resto = SenzaSpaziAiLati(riga.substr(i));
    if (resto.empty() || resto.front() != '=') {
      errore = "manca \"=\" dopo il nome del valore";
      return std::nullopt;
    }
    resto = SenzaSpaziAiLati(resto.substr(1));
    if (resto == "-") {
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
      if (!SenzaSpaziAiLati(resto.substr(fine)).empty()) {
        errore = "testo dopo la stringa";
        return std::nullopt;
      }
      v.tipo = REG_SZ;
      v.dati = std::move(*testo);
      v.dati += '\0';
      return v;
    }
    if (IniziaSenzaMaiuscole(resto, "dword:")) {
      const auto n = NumeroEsadecimale(SenzaSpaziAiLati(resto.substr(6)));
      if (!n) {
        errore = "numero dword non valido";
        return std::nullopt;
      }
      v.tipo = REG_DWORD;
      for (unsigned k = 0; k < 4; ++k)
        v.dati += static_cast<char>((*n >> (8 * k)) & 0xFFU);
      return v;
    }
    if (IniziaSenzaMaiuscole(resto, "hex")) {
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
      auto byte = ByteEsadecimali(resto.substr(1));
      if (!byte) {
        errore = "byte esadecimali non validi";
        return std::nullopt;
      }
      v.dati = (TipoStringa(v.tipo) && !ansi_) ? Utf8DaUtf16le(*byte) : std::move(*byte);
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
  FileRegistro& file_;
  std::size_t pos_ = 0;
  std::size_t righe_ = 0;
  bool ansi_ = false;
  std::optional<std::size_t> sezione_;
  bool sezioneNonValida_ = false;
};

void AggiungiTestoTraVirgolette(std::string_view testo, std::string& out) {
  out += '"';
  for (const char c : testo) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
        break;
    }
  }
  out += '"';
}

// A REG_SZ that the quoted form carries exactly: text without zero bytes or
// line breaks, valid UTF-8, ended by one zero byte.
bool ScrivibileTraVirgolette(std::string_view dati) {
  if (dati.empty() || dati.back() != '\0') return false;
  const std::string_view testo = dati.substr(0, dati.size() - 1);
  return testo.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos &&
         Utf8Valido(testo);
}

void AggiungiEsadecimali(std::string_view byte, std::size_t inizioRiga, std::string& out) {
  static constexpr std::array<char, 16> kCifre{'0', '1', '2', '3', '4', '5', '6', '7',
                                               '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  for (std::size_t k = 0; k < byte.size(); ++k) {
    const auto b = static_cast<unsigned char>(byte[k]);
    out += kCifre.at(b >> 4U);
    out += kCifre.at(b & 0x0FU);
    if (k + 1 == byte.size()) break;
    out += ',';
    if (out.size() - inizioRiga > kLarghezzaRigaHex) {
      out += "\\\r\n  ";
      inizioRiga = out.size() - 4;
    }
  }
}

void AggiungiValore(const ValoreFileRegistro& v, std::string& out) {
  const std::size_t inizioRiga = out.size();
  if (v.nome.empty()) {
    out += '@';
  } else {
    AggiungiTestoTraVirgolette(v.nome, out);
  }
  out += '=';
  if (v.cancella) {
    out += '-';
  } else if (v.tipo == REG_SZ && ScrivibileTraVirgolette(v.dati)) {
    AggiungiTestoTraVirgolette(std::string_view(v.dati).substr(0, v.dati.size() - 1), out);
  } else if (v.tipo == REG_DWORD && v.dati.size() == 4) {
    std::uint32_t n = 0;
    for (unsigned k = 0; k < 4; ++k) {
      n |= static_cast<std::uint32_t>(static_cast<unsigned char>(v.dati[k])) << (8 * k);
    }
    std::array<char, 16> cifre{};
    std::snprintf(cifre.data(), cifre.size(), "dword:%08x", n);
    out += cifre.data();
  } else {
    if (v.tipo == REG_BINARY) {
      out += "hex:";
    } else {
      std::array<char, 16> tipo{};
      std::snprintf(tipo.data(), tipo.size(), "hex(%x):", v.tipo);
      out += tipo.data();
    }
    AggiungiEsadecimali(TipoStringa(v.tipo) ? Utf16leDaUtf8(v.dati) : v.dati, inizioRiga, out);
  }
  out += "\r\n";
}

}  // namespace

FileRegistro AnalizzaFileRegistro(std::string_view contenuto) {
  FileRegistro file;
  const std::string testo = TestoDelFile(contenuto);
  Analizzatore(testo, file).Esegui();
  return file;
}

std::string TestoFileRegistro(const std::vector<SezioneFileRegistro>& sezioni) {
  std::string out(kIntestazione5);
  out += "\r\n";
  for (const auto& s : sezioni) {
    out += "\r\n[";
    if (s.cancella) out += '-';
    out += s.chiave;
    out += "]\r\n";
    for (const auto& v : s.valori)
      AggiungiValore(v, out);
  }
  out += "\r\n";
  return out;
}

std::string Utf16leDaUtf8(std::string_view testo) {
  std::string out;
  out.reserve(testo.size() * 2);
  const auto unita = [&out](char32_t u) {
    out += static_cast<char>(u & 0xFFU);
    out += static_cast<char>((u >> 8U) & 0xFFU);
  };
  std::size_t i = 0;
  while (i < testo.size()) {
    char32_t c = 0;
    const std::size_t n = DecodificaUtf8(testo, i, c);
    if (n == 0) {
      unita(0xDC00 + static_cast<unsigned char>(testo[i]));
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      unita(0xD800 + (c >> 10U));
      unita(0xDC00 + (c & 0x3FFU));
    } else {
      unita(c);
    }
    i += n;
  }
  return out;
}

std::string Utf8DaUtf16le(std::string_view byte) {
  std::string out;
  out.reserve(byte.size());
  const std::size_t n = byte.size() / 2;
  const auto unita = [byte](std::size_t k) {
    return static_cast<char32_t>(
        static_cast<unsigned char>(byte[2 * k]) |
        (static_cast<unsigned>(static_cast<unsigned char>(byte[2 * k + 1])) << 8U));
  };
  for (std::size_t k = 0; k < n; ++k) {
    const char32_t u = unita(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n) {
      const char32_t basso = unita(k + 1);
      if (basso >= 0xDC00 && basso <= 0xDFFF) {
        CodificaUtf8(0x10000 + ((u - 0xD800) << 10U) + (basso - 0xDC00), out);
        ++k;
        continue;
      }
    }
    if (u >= 0xDC80 && u <= 0xDCFF) {
      out += static_cast<char>(u - 0xDC00);  // a byte that was not UTF-8
    } else {
      CodificaUtf8(u, out);
    }
  }
  return out;
}

}  // namespace platform
