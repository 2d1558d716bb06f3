#include "platform/RegistroWineFormato.h"

#include <optional>
#include <string>

#include "AlberoRegistro.h"
#include "platform/TestoUtf8.h"

namespace platform {
namespace {

constexpr std::string_view kIntestazione = "WINE REGISTRY Version 2";
constexpr std::size_t kProblemiElencati = 20;

bool TipoStringa(std::uint32_t tipo) {
  return tipo == REG_SZ || tipo == REG_EXPAND_SZ || tipo == REG_MULTI_SZ;
}

void AggiungiUnita(std::uint32_t u, std::string& out) {
  out += static_cast<char>(u & 0xFFU);
  out += static_cast<char>((u >> 8U) & 0xFFU);
}

bool CifraOttale(char c) {
  return c >= '0' && c <= '7';
}

// Text written with Wine's escapes, from s[i] up to the unescaped `fine`,
// as UTF-16LE bytes; the position after `fine`, or nullopt with `errore`.
std::optional<std::size_t> TestoWine(std::string_view s, std::size_t i, char fine,
                                     std::string& utf16, std::string_view& errore) {
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == static_cast<unsigned char>(fine)) return i + 1;
    // Wine escapes control characters and all beyond ASCII, but writes
    // DEL (0x7F) as it is.
    if (c < 0x20 || c > 0x7F) {
      errore = "carattere non ammesso nel testo";
      return std::nullopt;
    }
    if (c != '\\') {
      AggiungiUnita(c, utf16);
      ++i;
      continue;
    }
    if (i + 1 >= s.size()) break;
    const char d = s[i + 1];
    i += 2;
    std::uint32_t u = 0;
    switch (d) {
      case '\\':
      case '"':
      case '[':
      case ']':
        u = static_cast<unsigned char>(d);
        break;
      case 'a':
        u = 7;
        break;
      case 'b':
        u = 8;
        break;
      case 't':
        u = 9;
        break;
      case 'n':
        u = 10;
        break;
      case 'v':
        u = 11;
        break;
      case 'f':
        u = 12;
        break;
      case 'r':
        u = 13;
        break;
      case 'e':
        u = 27;
        break;
      case 'x': {
        std::size_t cifre = 0;
        while (cifre < 4 && i + cifre < s.size() && ValoreCifraEsadecimale(s[i + cifre]) >= 0)
          ++cifre;
        if (cifre == 0) {
          errore = "\\x senza cifre esadecimali";
          return std::nullopt;
        }
        u = *NumeroEsadecimale(s.substr(i, cifre));
        i += cifre;
        break;
      }
      default:
        if (!CifraOttale(d)) {
          errore = "sequenza di escape non valida";
          return std::nullopt;
        }
        u = static_cast<std::uint32_t>(d - '0');
        for (int k = 0; k < 2 && i < s.size() && CifraOttale(s[i]); ++k, ++i)
          u = u * 8 + static_cast<std::uint32_t>(s[i] - '0');
        break;
    }
    AggiungiUnita(u, utf16);
  }
  errore = "testo non terminato";
  return std::nullopt;
}

// The most keys and values a prefix's file may hold: a real prefix has tens
// of thousands; a hostile one of 64 MB of tiny keys would take gigabytes
// once read into a tree, and it is refused whole instead.
constexpr std::size_t kChiaviMassime = 500'000;
constexpr std::size_t kValoriMassimi = 2'000'000;

class AnalizzatoreWine {
 public:
  AnalizzatoreWine(std::string_view testo, FileRegistro& file) : testo_(testo), file_(file) {}

  void Esegui() {
    std::string_view riga;
    if (!ProssimaRiga(riga) || riga != kIntestazione) {
      Problema(1, "manca l'intestazione \"WINE REGISTRY Version 2\"");
      return;
    }
    file_.riconosciuto = true;
    while (file_.riconosciuto && ProssimaRiga(riga))
      AnalizzaRiga(riga);
  }

 private:
  // The next line without its line end; a last line without one is a file
  // cut short.
  bool ProssimaRiga(std::string_view& riga) {
    if (pos_ >= testo_.size()) return false;
    const std::size_t fine = testo_.find('\n', pos_);
    ++numero_;
    if (fine == std::string_view::npos) {
      Rifiuta(numero_, "l'ultima riga è incompleta (file troncato)");
      pos_ = testo_.size();
      return false;
    }
    riga = testo_.substr(pos_, fine - pos_);
    if (!riga.empty() && riga.back() == '\r') riga.remove_suffix(1);
    pos_ = fine + 1;
    return true;
  }

  void Problema(std::size_t riga, std::string_view descrizione) {
    ++file_.numeroProblemi;
    if (file_.problemi.size() < kProblemiElencati) {
      file_.problemi.push_back({riga, std::string(descrizione)});
    }
  }

  // What makes the whole file unusable: it is cut short, or too large.
  // Nothing of it is kept.
  void Rifiuta(std::size_t riga, std::string_view descrizione) {
    Problema(riga, descrizione);
    file_.riconosciuto = false;
    file_.sezioni.clear();
  }

  // A line that cannot be taken is skipped, and with a key its values: one
  // program's odd key must not hide every other program's settings.
  void AnalizzaRiga(std::string_view riga) {
    std::string_view errore;
    if (SenzaSpaziAiLati(riga).empty() || riga.front() == ';') return;
    if (riga.front() == '[') {
      stato_ = AnalizzaChiave(riga, errore) ? Stato::kChiave : Stato::kChiaveSaltata;
      if (!errore.empty()) Problema(numero_, errore);
    } else if (riga.front() == '#') {
      if (stato_ != Stato::kChiaveSaltata && !AnalizzaOpzione(riga))
        Problema(numero_, "opzione non riconosciuta");
    } else if (riga.front() == '"' || riga.front() == '@') {
      const std::size_t inizio = numero_;
      auto valore = AnalizzaValore(riga, errore);
      if (!file_.riconosciuto || stato_ == Stato::kChiaveSaltata) return;
      if (!valore) {
        Problema(inizio, errore);
      } else if (stato_ == Stato::kNessuna) {
        Problema(inizio, "valore fuori da ogni chiave");
      } else if (++valori_ > kValoriMassimi) {
        Rifiuta(inizio, "troppi valori");
      } else {
        file_.sezioni.back().valori.push_back(std::move(*valore));
      }
    } else if (stato_ != Stato::kChiaveSaltata) {
      Problema(numero_, "riga non riconosciuta");
    }
  }

  bool AnalizzaOpzione(std::string_view riga) {
    if (riga.starts_with("#arch=")) {
      return !chiaveVista_ && (riga == "#arch=win32" || riga == "#arch=win64");
    }
    if (stato_ != Stato::kChiave) return false;
    if (riga == "#link") return true;
    if (riga.starts_with("#time=")) {
      const std::string_view cifre = riga.substr(6);
      return !cifre.empty() && cifre.size() <= 16 &&
             cifre.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
    }
    if (riga.starts_with("#class=\"")) {
      std::string utf16;
      std::string_view errore;
      const auto fine = TestoWine(riga, 8, '"', utf16, errore);
      return fine && *fine == riga.size();
    }
    return false;
  }

  // Whether the key is taken; a key that is not has its problem in
  // `errore`, unless the whole file was refused.
  bool AnalizzaChiave(std::string_view riga, std::string_view& errore) {
    chiaveVista_ = true;
    std::string utf16;
    const auto fine = TestoWine(riga, 1, ']', utf16, errore);
    if (!fine) return false;
    // An optional time stamp follows: seconds since 1970.
    const std::string_view resto = SenzaSpaziAiLati(riga.substr(*fine));
    if (resto.find_first_not_of("0123456789") != std::string_view::npos) {
      errore = "testo dopo la chiave";
      return false;
    }
    SezioneFileRegistro s;
    s.chiave = Utf8DaUtf16le(utf16, true);
    s.riga = numero_;
    registro::Percorso percorso;
    if (registro::DividiPercorso(s.chiave, percorso, registro::kProfonditaWine) != ERROR_SUCCESS ||
        percorso.empty()) {
      errore = "nome di chiave non valido";
      return false;
    }
    for (const auto& nome : percorso) {
      if (!registro::NomeChiaveWineValido(nome)) {
        errore = "nome di chiave non valido";
        return false;
      }
    }
    // A separator after the last name names the same key: the section
    // carries its path as every other key's, without it.
    if (s.chiave.back() == '\\') s.chiave.pop_back();
    // The keys a line makes are those of its path below what it shares with
    // the line before, as Wine writes a key after its parent: a few lines
    // thousands of levels deep must not make more keys than the many
    // lines that are refused.
    std::size_t comuni = 0;
    while (comuni < percorso.size() && comuni < precedente_.size() &&
           percorso[comuni] == precedente_[comuni])
      ++comuni;
    chiavi_ += percorso.size() - comuni;
    if (file_.sezioni.size() == kChiaviMassime || chiavi_ > kChiaviMassime) {
      Rifiuta(numero_, "troppe chiavi");
      return false;
    }
    precedente_ = std::move(percorso);
    file_.sezioni.push_back(std::move(s));
    return true;
  }

  // Comma-separated bytes of two hex digits, wrapped over lines that end in
  // "\" and go on, indented, on the next.
  std::optional<std::string> Byte(std::string_view dati, std::string_view& errore) {
    std::string out;
    while (true) {
      const bool segue = !dati.empty() && dati.back() == '\\';
      if (segue) dati.remove_suffix(1);
      std::size_t i = 0;
      while (i < dati.size()) {
        if (i + 2 > dati.size() || ValoreCifraEsadecimale(dati[i]) < 0 ||
            ValoreCifraEsadecimale(dati[i + 1]) < 0) {
          errore = "byte esadecimali non validi";
          return std::nullopt;
        }
        out += static_cast<char>(ValoreCifraEsadecimale(dati[i]) * 16 +
                                 ValoreCifraEsadecimale(dati[i + 1]));
        i += 2;
        if (i < dati.size() && dati[i] == ',')
          ++i;
        else if (i < dati.size()) {
          errore = "byte esadecimali non validi";
          return std::nullopt;
        }
      }
      if (!segue) return out;
      if (!dati.empty() && dati.back() != ',') {
        errore = "byte esadecimali non validi";
        return std::nullopt;
      }
      // A line that does not go on the data is left for the next entry.
      const std::size_t pos = pos_;
      const std::size_t numero = numero_;
      std::string_view riga;
      if (!ProssimaRiga(riga)) {
        if (file_.riconosciuto) Rifiuta(numero_, "dati esadecimali interrotti (file troncato)");
        return std::nullopt;
      }
      if (riga.empty() || !SpazioOrizzontale(riga.front())) {
        pos_ = pos;
        numero_ = numero;
        errore = "dati esadecimali interrotti";
        return std::nullopt;
      }
      dati = SenzaSpaziAiLati(riga);
    }
  }

  std::optional<ValoreFileRegistro> AnalizzaValore(std::string_view riga,
                                                   std::string_view& errore) {
    ValoreFileRegistro v;
    std::size_t i = 1;
    if (riga.front() == '"') {
      std::string utf16;
      const auto fine = TestoWine(riga, 1, '"', utf16, errore);
      if (!fine) return std::nullopt;
      v.nome = Utf8DaUtf16le(utf16, true);
      i = *fine;
      if (!registro::NomeValoreValido(v.nome)) {
        errore = "nome di valore non valido";
        return std::nullopt;
      }
    }
    if (i >= riga.size() || riga[i] != '=') {
      errore = "manca \"=\" dopo il nome del valore";
      return std::nullopt;
    }
    std::string_view dati = riga.substr(i + 1);
    v.tipo = REG_SZ;
    if (dati.starts_with("str(") || dati.starts_with("hex(")) {
      const std::size_t chiusa = dati.find("):");
      const auto tipo = chiusa == std::string_view::npos
                            ? std::nullopt
                            : NumeroEsadecimale(dati.substr(4, chiusa - 4));
      if (!tipo) {
        errore = "tipo di valore non valido";
        return std::nullopt;
      }
      v.tipo = *tipo;
      const bool testo = dati.front() == 's';
      dati.remove_prefix(chiusa + 2);
      if (!testo) return Esadecimali(std::move(v), dati, errore);
    } else if (dati.starts_with("hex:")) {
      v.tipo = REG_BINARY;
      return Esadecimali(std::move(v), dati.substr(4), errore);
    } else if (dati.starts_with("dword:")) {
      const auto n = dati.size() == 14 ? NumeroEsadecimale(dati.substr(6)) : std::nullopt;
      if (!n) {
        errore = "numero dword non valido";
        return std::nullopt;
      }
      v.tipo = REG_DWORD;
      for (unsigned k = 0; k < 4; ++k)
        v.dati += static_cast<char>((*n >> (8 * k)) & 0xFFU);
      return v;
    }
    if (dati.empty() || dati.front() != '"') {
      errore = "dati non riconosciuti";
      return std::nullopt;
    }
    std::string utf16;
    const auto fine = TestoWine(dati, 1, '"', utf16, errore);
    if (!fine) return std::nullopt;
    if (*fine != dati.size()) {
      errore = "testo dopo la stringa";
      return std::nullopt;
    }
    // The text is stored with its terminating zero.
    AggiungiUnita(0, utf16);
    v.dati = TipoStringa(v.tipo) ? Utf8DaUtf16le(utf16) : utf16;
    return v;
  }

  std::optional<ValoreFileRegistro> Esadecimali(ValoreFileRegistro v, std::string_view dati,
                                                std::string_view& errore) {
    auto byte = Byte(dati, errore);
    if (!byte) return std::nullopt;
    v.dati = TipoStringa(v.tipo) ? Utf8DaUtf16le(*byte) : std::move(*byte);
    return v;
  }

  std::string_view testo_;
  FileRegistro& file_;
  std::size_t pos_ = 0;
  std::size_t numero_ = 0;
  // Whether the lines read belong to a key taken, to one skipped, or to
  // none yet.
  enum class Stato { kNessuna, kChiave, kChiaveSaltata };
  Stato stato_ = Stato::kNessuna;
  bool chiaveVista_ = false;
  std::size_t valori_ = 0;
  // The path of the last key taken, and the keys the lines so far make.
  registro::Percorso precedente_;
  std::size_t chiavi_ = 0;
};

}  // namespace

FileRegistro AnalizzaFileRegistroWine(std::string_view contenuto) {
  FileRegistro file;
  AnalizzatoreWine(contenuto, file).Esegui();
  return file;
}

}  // namespace platform
