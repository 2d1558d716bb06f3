#include "updater/RecordsetLocale.h"

#include <algorithm>
#include <utility>

#include "common/Errore.h"
#include "platform/TestoUtf8.h"

namespace tervan {
namespace {

// Numbers and texts of the data-access layer's failures.
constexpr long kNessunRecordCorrente = -2146825267;
constexpr long kElementoNonTrovato = -2146825023;
constexpr long kArgomentiErrati = -2146825287;
constexpr long kOggettoChiuso = -2146824584;
constexpr long kOggettoAperto = -2146824583;
constexpr long kSoloLettura = -2146825069;
constexpr long kRigaNonTrovata = -2147217864;

[[noreturn]] void NessunRecordCorrente() {
  throw orvane::Errore(kNessunRecordCorrente,
                       "BOF o EOF è True oppure il record corrente è stato eliminato. "
                       "L'operazione richiesta richiede un record corrente.");
}

[[noreturn]] void OggettoChiuso() {
  throw orvane::Errore(kOggettoChiuso, "Operazione non consentita se l'oggetto è chiuso.");
}

[[noreturn]] void OggettoAperto() {
  throw orvane::Errore(kOggettoAperto, "Operazione non consentita se l'oggetto è aperto.");
}

[[noreturn]] void OperazioneNonConsentita() {
  throw orvane::Errore(kSoloLettura, "Operazione non consentita in questo contesto.");
}

}  // namespace

std::pair<std::string, std::string> LeggiFiltro(std::string_view espressione) {
  const auto errato = [] {
    throw orvane::Errore(kArgomentiErrati,
                         "Gli argomenti sono di tipo errato, non rientrano nell'intervallo "
                         "consentito o sono in conflitto.");
  };
  const std::size_t uguale = espressione.find('=');
  if (uguale == std::string_view::npos) errato();
  const std::string_view colonna = platform::SenzaBianchiAiLati(espressione.substr(0, uguale));
  const std::string_view resto = platform::SenzaBianchiAiLati(espressione.substr(uguale + 1));
  if (colonna.empty() || resto.size() < 2 || resto.front() != '\'' || resto.back() != '\'') {
    errato();
  }
  std::string valore;
  const std::string_view interno = resto.substr(1, resto.size() - 2);
  for (std::size_t i = 0; i < interno.size(); ++i) {
    if (interno[i] == '\'') {
      // Inside the quotes a quote must be doubled.
      if (i + 1 >= interno.size() || interno[i + 1] != '\'') errato();
      ++i;
    }
    valore += interno[i];
  }
  return {std::string(colonna), std::move(valore)};
}

RecordsetLocale::RecordsetLocale(std::shared_ptr<ConnessioneArchivio> connessione,
                                 std::string sorgente, bool tabella)
    : connessione_(std::move(connessione)), sorgente_(std::move(sorgente)), tabella_(tabella) {}

RecordsetLocale RecordsetLocale::Tabella(std::shared_ptr<ConnessioneArchivio> connessione,
                                         std::string tabella) {
  return {std::move(connessione), std::move(tabella), true};
}

RecordsetLocale RecordsetLocale::Query(std::shared_ptr<ConnessioneArchivio> connessione,
                                       std::string sql) {
  return {std::move(connessione), std::move(sql), false};
}

void RecordsetLocale::Open() {
  if (aperto_) OggettoAperto();
  Leggi();
  aperto_ = true;
}

void RecordsetLocale::Close() noexcept {
  // A reopened view shows every row again, as a new one would.
  filtro_.clear();
  colonnaFiltro_.reset();
  valoreFiltro_.clear();
  aperto_ = false;
  inAggiunta_ = false;
  inModifica_ = false;
  righe_.clear();
  posizione_ = 0;
}

void RecordsetLocale::Leggi() {
  std::string sql;
  std::vector<std::string> valori;
  if (tabella_) {
    sql = "SELECT rowid, * FROM " + sorgente_;
    if (colonnaFiltro_) {
      // The column name comes from the table's own columns, never from input.
      sql += " WHERE \"" + colonne_.at(*colonnaFiltro_) + "\" = ?";
      valori.push_back(valoreFiltro_);
    }
  } else {
    sql = sorgente_;
  }
  Istruzione istruzione = connessione_->Prepara(sql, valori);
  const int primaColonna = tabella_ ? 1 : 0;
  const int n = sqlite3_column_count(istruzione.get());
  colonne_.clear();
  for (int i = primaColonna; i < n; ++i) {
    colonne_.emplace_back(sqlite3_column_name(istruzione.get(), i));
  }
  righe_.clear();
  while (connessione_->Passo(istruzione.get())) {
    Riga riga;
    riga.rowid = tabella_ ? sqlite3_column_int64(istruzione.get(), 0) : 0;
    for (int i = primaColonna; i < n; ++i) {
      const auto* testo = sqlite3_column_text(istruzione.get(), i);
      if (testo == nullptr) {
        riga.valori.emplace_back(std::nullopt);
      } else {
        riga.valori.emplace_back(
            std::string(reinterpret_cast<const char*>(testo),
                        static_cast<std::size_t>(sqlite3_column_bytes(istruzione.get(), i))));
      }
    }
    riga.originali = riga.valori;
    riga.cambiati.assign(riga.valori.size(), false);
    righe_.push_back(std::move(riga));
  }
  posizione_ = 0;
  inAggiunta_ = false;
  inModifica_ = false;
}

void RecordsetLocale::RichiediAperto() const {
  if (!aperto_) OggettoChiuso();
}

void RecordsetLocale::RichiediRigaCorrente() const {
  RichiediAperto();
  if (posizione_ >= righe_.size()) NessunRecordCorrente();
}

std::size_t RecordsetLocale::IndiceColonna(std::string_view nome) const {
  for (std::size_t i = 0; i < colonne_.size(); ++i) {
    if (platform::UgualiSenzaMaiuscoleAscii(colonne_[i], nome)) return i;
  }
  throw orvane::Errore(kElementoNonTrovato,
                       "Impossibile trovare l'elemento nell'insieme corrispondente al nome o "
                       "al numero richiesto.");
}

void RecordsetLocale::Filter(std::string_view espressione) {
  RichiediAperto();
  if (!tabella_) OperazioneNonConsentita();
  SalvaInSospeso();
  if (platform::SenzaBianchiAiLati(espressione).empty()) {
    colonnaFiltro_.reset();
    valoreFiltro_.clear();
  } else {
    auto [colonna, valore] = LeggiFiltro(espressione);
    colonnaFiltro_ = IndiceColonna(colonna);
    valoreFiltro_ = std::move(valore);
  }
  filtro_ = std::string(espressione);
  Leggi();
}

bool RecordsetLocale::Bof() const {
  // The cursor never stands before the first row: only an empty view is at
  // its beginning and its end at once.
  RichiediAperto();
  return righe_.empty();
}

bool RecordsetLocale::Eof() const {
  RichiediAperto();
  return posizione_ >= righe_.size();
}

std::size_t RecordsetLocale::RecordCount() const {
  RichiediAperto();
  return righe_.size();
}

void RecordsetLocale::MoveFirst() {
  RichiediAperto();
  SalvaInSospeso();
  posizione_ = 0;
}

void RecordsetLocale::MoveNext() {
  RichiediRigaCorrente();
  SalvaInSospeso();
  ++posizione_;
}

std::string RecordsetLocale::Campo(std::string_view nome) const {
  RichiediRigaCorrente();
  const auto& valore = righe_[posizione_].valori.at(IndiceColonna(nome));
  return valore.value_or(std::string{});
}

void RecordsetLocale::Campo(std::string_view nome, std::string valore) {
  RichiediRigaCorrente();
  if (!tabella_) OperazioneNonConsentita();
  const std::size_t i = IndiceColonna(nome);
  Riga& riga = righe_[posizione_];
  riga.valori[i] = std::move(valore);
  riga.cambiati[i] = true;
  if (!inAggiunta_) inModifica_ = true;
}

void RecordsetLocale::AddNew() {
  RichiediAperto();
  if (!tabella_) OperazioneNonConsentita();
  SalvaInSospeso();
  Riga riga;
  riga.valori.assign(colonne_.size(), std::nullopt);
  riga.originali = riga.valori;
  riga.cambiati.assign(colonne_.size(), false);
  posizionePrimaDiAggiunta_ = posizione_;
  righe_.push_back(std::move(riga));
  posizione_ = righe_.size() - 1;
  inAggiunta_ = true;
}

void RecordsetLocale::Update() {
  RichiediRigaCorrente();
  SalvaInSospeso();
}

void RecordsetLocale::SalvaInSospeso() {
  if (!InSospeso()) return;
  Riga& riga = righe_.at(posizione_);
  std::vector<std::string> nomi;
  std::vector<std::string> valori;
  for (std::size_t i = 0; i < colonne_.size(); ++i) {
    if (!riga.cambiati[i]) continue;
    nomi.push_back("\"" + colonne_[i] + "\"");
    valori.push_back(riga.valori[i].value_or(std::string{}));
  }
  if (inAggiunta_) {
    std::string sql = "INSERT INTO " + sorgente_;
    if (nomi.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      std::string elenco;
      std::string segnaposti;
      for (std::size_t i = 0; i < nomi.size(); ++i) {
        elenco += (i == 0 ? "" : ", ") + nomi[i];
        segnaposti += i == 0 ? "?" : ", ?";
      }
      sql += " (" + elenco + ") VALUES (" + segnaposti + ")";
    }
    Istruzione istruzione = connessione_->Prepara(sql, valori);
    while (connessione_->Passo(istruzione.get())) {
    }
    riga.rowid = connessione_->UltimoRowid();
  } else if (!nomi.empty() && !RigaGiaUguale(riga.rowid, nomi, valori)) {
    std::string sql = "UPDATE " + sorgente_ + " SET ";
    for (std::size_t i = 0; i < nomi.size(); ++i)
      sql += (i == 0 ? "" : ", ") + nomi[i] + " = ?";
    sql += " WHERE rowid = ?";
    valori.push_back(std::to_string(riga.rowid));
    Istruzione istruzione = connessione_->Prepara(sql, valori);
    while (connessione_->Passo(istruzione.get())) {
    }
    if (connessione_->RigheCambiate() == 0) {
      throw orvane::Errore(kRigaNonTrovata,
                           "Impossibile trovare la riga per l'aggiornamento. Alcuni valori "
                           "potrebbero essere stati modificati dall'ultima lettura.");
    }
  }
  riga.originali = riga.valori;
  riga.cambiati.assign(colonne_.size(), false);
  inAggiunta_ = false;
  inModifica_ = false;
}

bool RecordsetLocale::RigaGiaUguale(std::int64_t rowid, const std::vector<std::string>& nomi,
                                    const std::vector<std::string>& valori) {
  // Compared as the UPDATE would store them: the column's affinity applies
  // to each bound value. A row gone since it was read does not match, so
  // the UPDATE still runs and reports it.
  std::string sql = "SELECT count(*) FROM " + sorgente_ + " WHERE rowid = ?";
  for (const std::string& nome : nomi)
    sql += " AND " + nome + " IS ?";
  std::vector<std::string> argomenti{std::to_string(rowid)};
  argomenti.insert(argomenti.end(), valori.begin(), valori.end());
  Istruzione istruzione = connessione_->Prepara(sql, argomenti);
  return connessione_->Passo(istruzione.get()) && sqlite3_column_int64(istruzione.get(), 0) == 1;
}

void RecordsetLocale::CancelUpdate() {
  RichiediAperto();
  if (inAggiunta_) {
    righe_.pop_back();
    posizione_ = std::min(posizionePrimaDiAggiunta_, righe_.size());
  } else if (inModifica_) {
    Riga& riga = righe_.at(posizione_);
    riga.valori = riga.originali;
    riga.cambiati.assign(colonne_.size(), false);
  }
  inAggiunta_ = false;
  inModifica_ = false;
}

}  // namespace tervan
