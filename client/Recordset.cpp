#include "quomaro/Recordset.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "RecordsetDati.h"
#include "RecordsetFiltro.h"
#include "RecordsetXml.h"
#include "common/Routine.h"
#include "platform/TestoUtf8.h"

namespace quomaro {
namespace {

struct ChiaveOrdinamento {
  std::size_t colonna = 0;
  bool discendente = false;
};

// Whether a column name can stand as an attribute name in the rows as it is.
bool NomeXmlValido(std::string_view nome) {
  if (nome.empty() ||
      (nome.size() >= 3 && platform::UgualiSenzaMaiuscoleAscii(nome.substr(0, 3), "xml"))) {
    return false;
  }
  for (std::size_t i = 0; i < nome.size(); ++i) {
    const char c = nome[i];
    const bool lettera = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    const bool altro = (c >= '0' && c <= '9') || c == '-' || c == '.';
    if (!lettera && (i == 0 || !altro)) return false;
  }
  return true;
}

void RichiediAperto(bool aperto) {
  if (!aperto) throw std::logic_error("Operazione non consentita se l'oggetto è chiuso");
}

}  // namespace

class Recordset::Stato {
 public:
  explicit Stato(DatiRecordset dati) : dati_(std::move(dati)) {
    for (std::size_t i = 0; i < dati_.colonne.size(); ++i) {
      perNome_.emplace(platform::MinuscoloAscii(dati_.colonne[i].nome), i);
    }
    Ricalcola();
  }

  [[nodiscard]] std::optional<std::size_t> Trova(std::string_view nome) const {
    const auto trovata = perNome_.find(platform::MinuscoloAscii(nome));
    if (trovata == perNome_.end()) return std::nullopt;
    return trovata->second;
  }

  // Rebuilds the visible records from the sort and the filter in force and
  // puts the cursor on the first one.
  void Ricalcola() {
    ordine_.resize(dati_.righe.size());
    std::iota(ordine_.begin(), ordine_.end(), std::size_t{0});
    if (!chiavi_.empty()) {
      std::stable_sort(ordine_.begin(), ordine_.end(), [this](std::size_t a, std::size_t b) {
        for (const auto& k : chiavi_) {
          const int c = Valore::Confronta(dati_.righe[a][k.colonna], dati_.righe[b][k.colonna]);
          if (c != 0) return k.discendente ? c > 0 : c < 0;
        }
        return false;
      });
    }
    vista_.clear();
    for (const auto r : ordine_) {
      if (!filtro_ || filtro_->Accetta(dati_.righe[r])) vista_.push_back(r);
    }
    posizione_ = 0;
  }

  std::vector<ChiaveOrdinamento> LeggiOrdinamento(std::string_view criterio) const {
    std::vector<ChiaveOrdinamento> chiavi;
    std::size_t inizio = 0;
    while (inizio <= criterio.size()) {
      auto fine = criterio.find(',', inizio);
      if (fine == std::string_view::npos) fine = criterio.size();
      std::string_view parte = criterio.substr(inizio, fine - inizio);
      inizio = fine + 1;
      parte = platform::SenzaBianchiAiLati(parte);
      if (parte.empty()) {
        if (chiavi.empty() && inizio > criterio.size()) break;  // the whole criterion is blank
        throw std::invalid_argument("Ordinamento non valido: colonna mancante");
      }
      ChiaveOrdinamento chiave;
      const auto ultimo = parte.find_last_of(" \t\r\n");
      if (ultimo != std::string_view::npos) {
        const auto verso = parte.substr(ultimo + 1);
        chiave.discendente = platform::UgualiSenzaMaiuscoleAscii(verso, "DESC");
        if (chiave.discendente || platform::UgualiSenzaMaiuscoleAscii(verso, "ASC")) {
          parte = platform::SenzaBianchiAiLati(parte.substr(0, ultimo));
        }
      }
      if (parte.size() >= 2 && parte.front() == '[' && parte.back() == ']') {
        parte = parte.substr(1, parte.size() - 2);
      }
      const auto colonna = Trova(parte);
      if (!colonna) {
        throw std::invalid_argument("Ordinamento non valido: colonna sconosciuta \"" +
                                    std::string(parte) + "\"");
      }
      chiave.colonna = *colonna;
      chiavi.push_back(chiave);
    }
    return chiavi;
  }

  DatiRecordset dati_;
  std::unordered_map<std::string, std::size_t> perNome_;
  std::vector<ChiaveOrdinamento> chiavi_;
  std::optional<RecordsetFiltro> filtro_;
  std::string ordinamento_;
  std::string criterioFiltro_;
  std::vector<std::size_t> ordine_;
  std::vector<std::size_t> vista_;
  std::size_t posizione_ = 0;
};

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&& altro) noexcept = default;
Recordset& Recordset::operator=(Recordset&& altro) noexcept = default;

Recordset::Recordset(const Recordset& altro)
    : stato_(altro.stato_ ? std::make_unique<Stato>(*altro.stato_) : nullptr) {}

Recordset& Recordset::operator=(const Recordset& altro) {
  if (this != &altro) stato_ = altro.stato_ ? std::make_unique<Stato>(*altro.stato_) : nullptr;
  return *this;
}

bool Recordset::Apri(std::string_view xml) {
  Chiudi();
  // A text that cannot be read leaves the recordset closed; saying why is
  // the caller's business, so nothing is logged here.
  orvane::Tacitamente([&] {
    if (auto dati = RecordsetXml::Leggi(xml)) stato_ = std::make_unique<Stato>(std::move(*dati));
  });
  return stato_ != nullptr;
}

void Recordset::Crea(const std::vector<Colonna>& colonne) {
  Chiudi();
  if (colonne.empty()) throw std::invalid_argument("Un recordset richiede almeno una colonna");
  DatiRecordset dati;
  std::unordered_map<std::string, bool> usati;
  for (const auto& c : colonne) {
    if (c.nome.empty() || c.nome.find('\0') != std::string::npos) {
      throw std::invalid_argument("Nome di colonna non valido");
    }
    if (!usati.emplace(platform::MinuscoloAscii(c.nome), true).second) {
      throw std::invalid_argument("Colonna ripetuta: " + c.nome);
    }
    ColonnaPersistita p;
    p.nome = c.nome;
    p.tipo = c.tipo.empty() ? "string" : c.tipo;
    p.famiglia = FamigliaDelTipo(p.tipo);
    dati.colonne.push_back(std::move(p));
  }
  // Names that cannot be attribute names are written encoded, as c0, c1, ...
  for (std::size_t i = 0; i < dati.colonne.size(); ++i) {
    auto& c = dati.colonne[i];
    if (NomeXmlValido(c.nome)) {
      c.nomeXml = c.nome;
      continue;
    }
    for (std::size_t n = i;; n += dati.colonne.size()) {
      c.nomeXml = "c" + std::to_string(n);
      if (!usati.contains(platform::MinuscoloAscii(c.nomeXml))) break;
    }
    usati.emplace(platform::MinuscoloAscii(c.nomeXml), true);
  }
  stato_ = std::make_unique<Stato>(std::move(dati));
}

void Recordset::AggiungiRiga(const std::vector<std::optional<std::string>>& valori) {
  RichiediAperto(stato_ != nullptr);
  auto& colonne = stato_->dati_.colonne;
  if (valori.size() != colonne.size()) {
    throw std::invalid_argument("Numero di valori diverso dal numero di colonne");
  }
  std::vector<Valore> riga;
  riga.reserve(valori.size());
  for (std::size_t i = 0; i < valori.size(); ++i) {
    const auto& c = colonne[i];
    if (valori[i] && valori[i]->find('\0') != std::string::npos) {
      throw std::invalid_argument("Il valore della colonna " + c.nome +
                                  " contiene un carattere NUL");
    }
    Valore v(c.famiglia, valori[i]);
    if (v.Conforme() && c.famiglia == TipoCampo::DataOra) {
      const DataOra data = *v.Data();
      const std::string testo = data.Testo();
      if (platform::UgualiSenzaMaiuscoleAscii(c.tipo, "time") ||
          platform::UgualiSenzaMaiuscoleAscii(c.tipo, "time.tz")) {
        v = Valore(c.famiglia, testo.substr(11));
      } else if (data.anno == 0) {
        // a time alone in a date column stays as it was given
      } else if (platform::UgualiSenzaMaiuscoleAscii(c.tipo, "date")) {
        v = Valore(c.famiglia, testo.substr(0, 10));
      } else {
        v = Valore(c.famiglia, testo);
      }
    } else if (v.Conforme() && c.famiglia == TipoCampo::Booleano) {
      v = Valore(c.famiglia, std::string(*v.Booleano() ? "True" : "False"));
    } else if (v.Conforme() && c.famiglia == TipoCampo::Intero && v.Intero()) {
      v = Valore(c.famiglia, std::to_string(*v.Intero()));
    }
    riga.push_back(std::move(v));
  }
  stato_->dati_.righe.push_back(std::move(riga));
  if (stato_->chiavi_.empty() && !stato_->filtro_) {
    // In the original order a new record simply goes last.
    stato_->ordine_.push_back(stato_->dati_.righe.size() - 1);
    stato_->vista_.push_back(stato_->dati_.righe.size() - 1);
    stato_->posizione_ = 0;
  } else {
    stato_->Ricalcola();
  }
}

void Recordset::Chiudi() noexcept {
  stato_.reset();
}

std::string Recordset::Save() const {
  RichiediAperto(stato_ != nullptr);
  return RecordsetXml::Scrivi(stato_->dati_, stato_->vista_);
}

int Recordset::State() const noexcept {
  return stato_ ? adStateOpen : adStateClosed;
}

bool Recordset::BOF() const noexcept {
  return !stato_ || stato_->vista_.empty();
}

bool Recordset::EOF_() const noexcept {
  return !stato_ || stato_->posizione_ >= stato_->vista_.size();
}

long Recordset::RecordCount() const noexcept {
  return stato_ ? static_cast<long>(stato_->vista_.size()) : 0;
}

void Recordset::MoveFirst() noexcept {
  if (stato_) stato_->posizione_ = 0;
}

void Recordset::MoveNext() noexcept {
  if (stato_ && stato_->posizione_ < stato_->vista_.size()) ++stato_->posizione_;
}

Valore Recordset::Campo(std::string_view nome) const {
  RichiediAperto(stato_ != nullptr);
  const auto colonna = stato_->Trova(nome);
  if (!colonna) throw std::out_of_range("Campo inesistente: " + std::string(nome));
  return Campo(*colonna);
}

Valore Recordset::Campo(std::size_t indice) const {
  RichiediAperto(stato_ != nullptr);
  if (indice >= stato_->dati_.colonne.size()) {
    throw std::out_of_range("Campo inesistente: " + std::to_string(indice));
  }
  if (EOF_()) throw std::out_of_range("BOF o EOF è True: nessun record corrente");
  return stato_->dati_.righe[stato_->vista_[stato_->posizione_]][indice];
}

bool Recordset::EsisteCampo(std::string_view nome) const {
  return stato_ && stato_->Trova(nome).has_value();
}

std::vector<Colonna> Recordset::Colonne() const {
  std::vector<Colonna> colonne;
  if (!stato_) return colonne;
  for (const auto& c : stato_->dati_.colonne)
    colonne.push_back({c.nome, c.tipo});
  return colonne;
}

void Recordset::Sort(std::string_view criterio) {
  RichiediAperto(stato_ != nullptr);
  stato_->chiavi_ = stato_->LeggiOrdinamento(criterio);
  stato_->ordinamento_ = std::string(criterio);
  stato_->Ricalcola();
}

const std::string& Recordset::Sort() const noexcept {
  static const std::string kNessuno;
  return stato_ ? stato_->ordinamento_ : kNessuno;
}

void Recordset::Filter(std::string_view criterio) {
  RichiediAperto(stato_ != nullptr);
  if (platform::SenzaBianchiAiLati(criterio).empty()) {
    stato_->filtro_.reset();
  } else {
    stato_->filtro_ = RecordsetFiltro::Compila(
        criterio, stato_->dati_.colonne, [this](std::string_view n) { return stato_->Trova(n); });
  }
  stato_->criterioFiltro_ = std::string(criterio);
  stato_->Ricalcola();
}

const std::string& Recordset::Filter() const noexcept {
  static const std::string kNessuno;
  return stato_ ? stato_->criterioFiltro_ : kNessuno;
}

}  // namespace quomaro
