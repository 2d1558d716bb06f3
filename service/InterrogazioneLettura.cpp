#include "service/InterrogazioneLettura.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/TestoUtf8.h"
#include "service/GuastoSOAP.h"

namespace orvane::servizio {
namespace {

using Lato = GuastoSOAP::Lato;

// The functions a client's query may call: SQLite's ordinary scalar, date,
// aggregate, window and mathematical functions, which only compute a value
// from their arguments within the length limit (printf and format through
// Formatta). Anything else (fts3_tokenizer, load_extension, the build's own
// introspection, functions added by extensions) is refused.
constexpr auto kFunzioniAmmesse = std::to_array<std::string_view>(
    {// scalar
     "abs", "char", "coalesce", "concat", "concat_ws", "format", "glob", "hex", "ifnull", "iif",
     "instr", "length", "like", "likelihood", "likely", "lower", "ltrim", "max", "min", "nullif",
     "octet_length", "printf", "quote", "random", "randomblob", "replace", "round", "rtrim", "sign",
     "soundex", "substr", "substring", "trim", "typeof", "unhex", "unicode", "unlikely", "upper",
     "zeroblob",
     // date and time
     "date", "time", "datetime", "julianday", "unixepoch", "strftime", "timediff", "current_date",
     "current_time", "current_timestamp",
     // aggregate
     "avg", "count", "group_concat", "string_agg", "sum", "total",
     // window
     "row_number", "rank", "dense_rank", "percent_rank", "cume_dist", "ntile", "lag", "lead",
     "first_value", "last_value", "nth_value",
     // mathematical
     "acos", "asin", "atan", "atan2", "ceil", "ceiling", "cos", "degrees", "exp", "floor", "ln",
     "log", "log10", "log2", "mod", "pi", "pow", "power", "radians", "sin", "sqrt", "tan",
     "trunc"});

bool FunzioneAmmessa(const char* nome) {
  if (nome == nullptr) return false;
  std::string minuscolo(nome);
  for (auto& c : minuscolo) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return std::find(kFunzioniAmmesse.begin(), kFunzioniAmmesse.end(), minuscolo) !=
         kFunzioniAmmesse.end();
}

// For SQLITE_FUNCTION the function's name comes as the second text.
int SoloLettura(void* /*dati*/, int azione, const char* /*a*/, const char* b,
                const char* /*database*/, const char* /*trigger*/) {
  switch (azione) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_RECURSIVE:
      return SQLITE_OK;
    case SQLITE_FUNCTION:
      return FunzioneAmmessa(b) ? SQLITE_OK : SQLITE_DENY;
    default:
      return SQLITE_DENY;
  }
}

// Whether the widths and precisions that a printf format asks for, written
// in it or taken from the arguments by "*", add up to no more than
// `limite`. SQLite's printf keeps producing a huge padding long after the
// length limit has failed it, where nothing can interrupt it; such a call
// is refused before it runs. Each conversion but "%%" takes one argument,
// as in SQLite's printf.
bool LarghezzeAmmesse(std::string_view formato, sqlite3_value** argomenti, int n,
                      std::int64_t limite) {
  int prossimo = 1;
  const auto valore = [&]() -> std::int64_t {
    return prossimo < n ? sqlite3_value_int64(argomenti[prossimo++]) : 0;
  };
  std::int64_t totale = 0;
  for (std::size_t i = 0; i < formato.size(); ++i) {
    if (formato[i] != '%') continue;
    for (++i; i < formato.size(); ++i) {
      const char c = formato[i];
      if (c >= '0' && c <= '9') {
        std::int64_t cifre = c - '0';
        while (i + 1 < formato.size() && formato[i + 1] >= '0' && formato[i + 1] <= '9' &&
               cifre <= limite) {
          cifre = cifre * 10 + (formato[++i] - '0');
        }
        totale += cifre;
      } else if (c == '*') {
        const std::int64_t v = valore();
        totale += v > limite || v < -limite ? limite + 1 : (v < 0 ? -v : v);
      } else if (std::string_view("-+ #!,.l").find(c) == std::string_view::npos) {
        if (c != '%') valore();
        break;
      }
      if (totale > limite) return false;
    }
  }
  return true;
}

// The first word of the statement, after blanks and opening parentheses.
std::string PrimaParola(std::string_view sql) {
  std::size_t i = sql.find_first_not_of(" \t\r\n\f\v(");
  if (i == std::string_view::npos) return {};
  std::size_t j = i;
  while (j < sql.size() && ((sql[j] >= 'a' && sql[j] <= 'z') || (sql[j] >= 'A' && sql[j] <= 'Z'))) {
    ++j;
  }
  return platform::MaiuscoloAscii(sql.substr(i, j - i));
}

// The persisted type for a declared column type (SQLite's affinity rules).
std::optional<std::string> TipoDichiarato(const char* dichiarato) {
  if (dichiarato == nullptr || *dichiarato == '\0') return std::nullopt;
  const std::string d = platform::MaiuscoloAscii(dichiarato);
  if (d.find("INT") != std::string::npos) return "int";
  if (d.find("DATE") != std::string::npos || d.find("TIME") != std::string::npos) {
    return "dateTime";
  }
  if (d.find("BOOL") != std::string::npos) return "boolean";
  if (d.find("CHAR") != std::string::npos || d.find("CLOB") != std::string::npos ||
      d.find("TEXT") != std::string::npos) {
    return "string";
  }
  if (d.find("BLOB") != std::string::npos) return "bin.hex";
  if (d.find("REAL") != std::string::npos || d.find("FLOA") != std::string::npos ||
      d.find("DOUB") != std::string::npos) {
    return "float";
  }
  return "number";
}

// The persisted type of a computed column, from the storage classes of its
// values.
std::string TipoDaiValori(const std::vector<int>& classi) {
  bool interi = true;
  bool numeri = true;
  bool binari = true;
  bool qualcuno = false;
  for (const int c : classi) {
    if (c == SQLITE_NULL) continue;
    qualcuno = true;
    interi = interi && c == SQLITE_INTEGER;
    numeri = numeri && (c == SQLITE_INTEGER || c == SQLITE_FLOAT);
    binari = binari && c == SQLITE_BLOB;
  }
  if (!qualcuno) return "string";
  if (interi) return "int";
  if (numeri) return "float";
  return binari ? "bin.hex" : "string";
}

// The bytes `valore` takes in the answer: escaped once in the recordset's
// markup and again as the text of the SOAP answer, a character that needs
// escaping (& < > " ' or a line break) grows to as many as ten.
std::size_t CostoNellaRisposta(std::string_view valore) {
  constexpr std::size_t kCrescita = 9;
  std::size_t costo = valore.size();
  for (const char c : valore) {
    if (std::string_view("&<>\"'\t\n\r").find(c) != std::string_view::npos) costo += kCrescita;
  }
  return costo;
}

std::optional<std::string> ValoreDi(sqlite3_stmt* istruzione, int colonna) {
  switch (sqlite3_column_type(istruzione, colonna)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER:
      return std::to_string(sqlite3_column_int64(istruzione, colonna));
    case SQLITE_FLOAT: {
      std::array<char, 32> buffer{};
      const auto [fine, errore] = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                                sqlite3_column_double(istruzione, colonna));
      return errore == std::errc{} ? std::string(buffer.data(), fine) : std::string();
    }
    case SQLITE_BLOB: {
      static constexpr std::string_view kCifre = "0123456789abcdef";
      const auto* byte =
          static_cast<const unsigned char*>(sqlite3_column_blob(istruzione, colonna));
      const auto n = static_cast<std::size_t>(sqlite3_column_bytes(istruzione, colonna));
      std::string esadecimale;
      esadecimale.reserve(2 * n);
      for (std::size_t i = 0; i < n; ++i) {
        esadecimale += kCifre[byte[i] >> 4];
        esadecimale += kCifre[byte[i] & 0x0F];
      }
      return esadecimale;
    }
    default: {
      const auto* testo = sqlite3_column_text(istruzione, colonna);
      if (testo == nullptr) return std::string();
      return std::string(reinterpret_cast<const char*>(testo),
                         static_cast<std::size_t>(sqlite3_column_bytes(istruzione, colonna)));
    }
  }
}

}  // namespace

InterrogazioneLettura::InterrogazioneLettura(const std::filesystem::path& file)
    : connessione_(file, ConnessioneSqlite::Modo::SolaLettura),
      formattatore_(":memory:", ConnessioneSqlite::Modo::LetturaScrittura) {
  sqlite3_limit(formattatore_.Db(), SQLITE_LIMIT_LENGTH, kLunghezzaMassima);
  for (const char* nome : {"printf", "format"}) {
    if (sqlite3_create_function_v2(connessione_.Db(), nome, -1,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, this,
                                   Formatta, nullptr, nullptr, nullptr) != SQLITE_OK) {
      connessione_.Fallisci("Impossibile registrare la funzione " + std::string(nome));
    }
  }
  connessione_.Esegui("PRAGMA query_only = ON");
  sqlite3_set_authorizer(connessione_.Db(), SoloLettura, nullptr);
  sqlite3_limit(connessione_.Db(), SQLITE_LIMIT_LENGTH, kLunghezzaMassima);
  sqlite3_limit(connessione_.Db(), SQLITE_LIMIT_ATTACHED, 0);
  sqlite3_progress_handler(connessione_.Db(), 1000, Interrompi, this);
}

int InterrogazioneLettura::Interrompi(void* dati) noexcept {
  const auto* self = static_cast<const InterrogazioneLettura*>(dati);
  return std::chrono::steady_clock::now() > self->scadenza_ ? 1 : 0;
}

void InterrogazioneLettura::Formatta(sqlite3_context* contesto, int n,
                                     sqlite3_value** argomenti) noexcept {
  try {
    const auto* self = static_cast<const InterrogazioneLettura*>(sqlite3_user_data(contesto));
    const auto* formato = n > 0 ? sqlite3_value_text(argomenti[0]) : nullptr;
    if (formato != nullptr && !LarghezzeAmmesse(reinterpret_cast<const char*>(formato), argomenti,
                                                n, kLunghezzaMassima)) {
      sqlite3_result_error_toobig(contesto);
      return;
    }
    std::string sql = "SELECT printf(";
    for (int i = 1; i <= n; ++i)
      sql += (i > 1 ? ",?" : "?") + std::to_string(i);
    sql += ")";
    const Istruzione istruzione = self->formattatore_.Prepara(sql);
    for (int i = 0; i < n; ++i)
      sqlite3_bind_value(istruzione.get(), i + 1, argomenti[i]);
    if (sqlite3_step(istruzione.get()) == SQLITE_ROW) {
      sqlite3_result_value(contesto, sqlite3_column_value(istruzione.get(), 0));
    } else if (sqlite3_errcode(self->formattatore_.Db()) == SQLITE_TOOBIG) {
      sqlite3_result_error_toobig(contesto);
    } else {
      sqlite3_result_error(contesto, sqlite3_errmsg(self->formattatore_.Db()), -1);
    }
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(contesto);
  } catch (const std::exception& e) {
    sqlite3_result_error(contesto, e.what(), -1);
  }
}

quomaro::Recordset InterrogazioneLettura::Esegui(std::string_view sql) {
  const std::lock_guard blocco(mutex_);
  scadenza_ = std::chrono::steady_clock::now() + kTempoMassimo;
  const auto rifiuta = [](const std::string& motivo) -> GuastoSOAP {
    return GuastoSOAP(Lato::Mittente, "Interrogazione non consentita: " + motivo);
  };
  std::string_view coda;
  Istruzione istruzione;
  try {
    istruzione = connessione_.Prepara(sql, &coda);
  } catch (const std::runtime_error& e) {
    throw rifiuta(e.what());
  }
  if (!istruzione) throw rifiuta("nessuna istruzione");
  // Whatever follows the statement must be blanks or comments.
  Istruzione seguente;
  try {
    seguente = connessione_.Prepara(coda);
  } catch (const std::runtime_error&) {
    throw rifiuta("è ammessa una sola istruzione");
  }
  if (seguente) throw rifiuta("è ammessa una sola istruzione");
  const std::string parola = PrimaParola(sql);
  if (sqlite3_stmt_readonly(istruzione.get()) == 0 || sqlite3_column_count(istruzione.get()) == 0 ||
      (parola != "SELECT" && parola != "WITH")) {
    throw rifiuta("è ammessa soltanto una SELECT");
  }

  const int colonne = sqlite3_column_count(istruzione.get());
  // What each value costs the answer besides its bytes: its column's name
  // and the markup around it, so that rows of empty values count too.
  std::vector<std::size_t> costoColonna;
  for (int c = 0; c < colonne; ++c) {
    const char* nome = sqlite3_column_name(istruzione.get(), c);
    costoColonna.push_back(kCostoValore + (nome != nullptr ? std::strlen(nome) : 0));
  }
  std::vector<std::vector<std::optional<std::string>>> righe;
  std::vector<std::vector<int>> classi(static_cast<std::size_t>(colonne));
  std::size_t byteRisposta = 0;
  int esito = SQLITE_ROW;
  while ((esito = sqlite3_step(istruzione.get())) == SQLITE_ROW) {
    if (righe.size() >= kRigheMassime) {
      throw rifiuta("più di " + std::to_string(kRigheMassime) + " righe");
    }
    auto& riga = righe.emplace_back();
    for (int c = 0; c < colonne; ++c) {
      const auto colonna = static_cast<std::size_t>(c);
      classi[colonna].push_back(sqlite3_column_type(istruzione.get(), c));
      const auto& valore = riga.emplace_back(ValoreDi(istruzione.get(), c));
      byteRisposta += costoColonna[colonna] + (valore ? CostoNellaRisposta(*valore) : 0);
    }
    if (byteRisposta > kRispostaMassima) {
      throw rifiuta("risposta di più di " + std::to_string(kRispostaMassima) + " byte");
    }
  }
  if (esito != SQLITE_DONE) {
    throw rifiuta(esito == SQLITE_INTERRUPT ? "tempo massimo superato"
                                            : std::string(sqlite3_errmsg(connessione_.Db())));
  }

  std::vector<quomaro::Colonna> definizioni;
  // The names taken so far, in capitals, and for each repeated name the
  // number its next copy tries first: a query may repeat one name in all of
  // its columns, and looking through every name taken for every number
  // tried would cost the cube of their count after the time limit.
  std::unordered_set<std::string> usati;
  std::unordered_map<std::string, int> prossimo;
  for (int c = 0; c < colonne; ++c) {
    std::string nome = sqlite3_column_name(istruzione.get(), c);
    // Repeated names (select a, a) get a number, so every field is reachable.
    const std::string base = nome.empty() ? "colonna" : nome;
    int& n = prossimo[platform::MaiuscoloAscii(base)];
    if (nome.empty() || usati.contains(platform::MaiuscoloAscii(nome))) {
      do {
        nome = base + "_" + std::to_string(++n);
      } while (usati.contains(platform::MaiuscoloAscii(nome)));
    }
    usati.insert(platform::MaiuscoloAscii(nome));
    auto tipo = TipoDichiarato(sqlite3_column_decltype(istruzione.get(), c));
    definizioni.push_back(
        {nome, tipo ? *tipo : TipoDaiValori(classi[static_cast<std::size_t>(c)])});
  }
  quomaro::Recordset rs;
  rs.Crea(definizioni);
  for (const auto& riga : righe)
    rs.AggiungiRiga(riga);
  return rs;
}

}  // namespace orvane::servizio
