#include "service/CatalogoServizio.h"

#include <zip.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "quomaro/RecordsetValore.h"

namespace orvane::servizio {
namespace {

using nlohmann::json;

[[noreturn]] void Errato(const std::string& dove, const std::string& motivo) {
  throw std::runtime_error(dove + ": " + motivo);
}

std::string Testo(const json& oggetto, const char* chiave, const std::string& dove,
                  bool obbligatorio = true) {
  const auto v = oggetto.find(chiave);
  if (v == oggetto.end()) {
    if (obbligatorio) Errato(dove, std::string("manca \"") + chiave + "\"");
    return {};
  }
  if (!v->is_string()) Errato(dove + "." + chiave, "atteso un testo");
  return v->get<std::string>();
}

// A text or a list of texts.
std::vector<std::string> Elenco(const json& oggetto, const char* chiave, const std::string& dove) {
  const auto v = oggetto.find(chiave);
  if (v == oggetto.end()) Errato(dove, std::string("manca \"") + chiave + "\"");
  std::vector<std::string> elenco;
  if (v->is_string()) {
    elenco.push_back(v->get<std::string>());
  } else if (v->is_array()) {
    for (const auto& e : *v) {
      if (!e.is_string() || e.get<std::string>().empty()) {
        Errato(dove + "." + chiave, "attesi testi non vuoti");
      }
      elenco.push_back(e.get<std::string>());
    }
  } else {
    Errato(dove + "." + chiave, "atteso un testo o un elenco di testi");
  }
  if (elenco.empty()) Errato(dove + "." + chiave, "elenco vuoto");
  return elenco;
}

bool NomeVoceSicuro(const std::string& nome) {
  if (nome.empty() || nome.front() == '/' || nome.find('\\') != std::string::npos ||
      nome.find('\0') != std::string::npos) {
    return false;
  }
  std::size_t inizio = 0;
  while (inizio <= nome.size()) {
    auto fine = nome.find('/', inizio);
    if (fine == std::string::npos) fine = nome.size();
    const auto parte = nome.substr(inizio, fine - inizio);
    if (parte.empty() || parte == "." || parte == "..") return false;
    inizio = fine + 1;
  }
  return true;
}

Pacchetto LeggiPacchetto(const json& p, const std::string& dove) {
  if (!p.is_object()) Errato(dove, "atteso un oggetto");
  Pacchetto pacchetto;
  const auto codice = p.find("codice");
  if (codice == p.end() || !codice->is_number_integer() || *codice < 1 || *codice > 2147483647) {
    Errato(dove + ".codice", "atteso un intero tra 1 e 2147483647");
  }
  pacchetto.codice = codice->get<long long>();
  pacchetto.dataxx = Testo(p, "dataxx", dove);
  const auto data = quomaro::DataOra::Leggi(pacchetto.dataxx);
  if (!data || data->anno == 0) Errato(dove + ".dataxx", "attesa una data yyyy-mm-ddThh:mm:ss");
  pacchetto.dataxx = data->Testo();
  pacchetto.programmi = Elenco(p, "progra", dove);
  pacchetto.TipoXx = Testo(p, "TipoXx", dove);
  pacchetto.Filexx = Testo(p, "Filexx", dove);
  pacchetto.notexx = Testo(p, "notexx", dove, false);
  pacchetto.clienti = Elenco(p, "clienti", dove);
  const auto contenuto = p.find("contenuto");
  if (contenuto == p.end() || !contenuto->is_object() || contenuto->empty()) {
    Errato(dove + ".contenuto", "atteso un oggetto con almeno una voce \"nome\": \"testo\"");
  }
  for (const auto& [nome, testo] : contenuto->items()) {
    if (!NomeVoceSicuro(nome))
      Errato(dove + ".contenuto", "nome di voce non valido \"" + nome + "\"");
    if (!testo.is_string()) Errato(dove + ".contenuto." + nome, "atteso un testo");
    pacchetto.contenuto.emplace_back(nome, testo.get<std::string>());
  }
  return pacchetto;
}

struct ScartaZip {
  void operator()(zip_t* archivio) const noexcept { zip_discard(archivio); }
};

// Seconds since the epoch of a date read as UTC, for reproducible entries.
std::time_t Istante(const quomaro::DataOra& d) {
  using namespace std::chrono;
  const auto giorno = sys_days(year{d.anno} / month{static_cast<unsigned>(d.mese)} /
                               day{static_cast<unsigned>(d.giorno)});
  return static_cast<std::time_t>(
      (giorno.time_since_epoch() + hours{d.ore} + minutes{d.minuti} + seconds{d.secondi}).count());
}

void ScriviZip(const std::filesystem::path& file, const Pacchetto& p) {
  int errore = 0;
  std::unique_ptr<zip_t, ScartaZip> archivio(
      zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &errore));
  if (!archivio) throw std::runtime_error("Impossibile creare " + file.string());
  const std::time_t quando = Istante(*quomaro::DataOra::Leggi(p.dataxx));
  for (const auto& [nome, testo] : p.contenuto) {
    // The buffers stay alive in `p` until the archive is closed below.
    zip_source_t* sorgente = zip_source_buffer(archivio.get(), testo.data(), testo.size(), 0);
    if (sorgente == nullptr) throw std::runtime_error("Impossibile preparare la voce " + nome);
    const zip_int64_t indice =
        zip_file_add(archivio.get(), nome.c_str(), sorgente, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (indice < 0) {
      zip_source_free(sorgente);
      throw std::runtime_error("Impossibile aggiungere " + nome + " a " + file.string());
    }
    const auto i = static_cast<zip_uint64_t>(indice);
    if (zip_set_file_compression(archivio.get(), i, ZIP_CM_DEFLATE, 9) != 0 ||
        zip_file_set_mtime(archivio.get(), i, quando, 0) != 0) {
      throw std::runtime_error("Impossibile impostare la voce " + nome);
    }
  }
  if (zip_close(archivio.get()) != 0) {
    throw std::runtime_error("Impossibile scrivere " + file.string() + ": " +
                             zip_strerror(archivio.get()));
  }
  (void)archivio.release();  // closed: nothing left to discard
}

}  // namespace

CatalogoServizio CatalogoServizio::Leggi(const std::filesystem::path& file) {
  std::ifstream ingresso(file, std::ios::binary);
  if (!ingresso) throw std::runtime_error("Impossibile leggere il catalogo " + file.string());
  const std::string dove = file.filename().string();
  json radice;
  try {
    radice = json::parse(ingresso);
  } catch (const json::parse_error& e) {
    Errato(dove, std::string("JSON non valido: ") + e.what());
  }
  if (!radice.is_object()) Errato(dove, "atteso un oggetto con \"clienti\" e \"pacchetti\"");

  CatalogoServizio catalogo;
  std::set<std::string> utenti;
  const auto clienti = radice.find("clienti");
  if (clienti == radice.end() || !clienti->is_array()) Errato(dove, "manca l'elenco \"clienti\"");
  for (std::size_t i = 0; i < clienti->size(); ++i) {
    const auto& c = (*clienti)[i];
    const std::string qui = dove + ": clienti[" + std::to_string(i) + "]";
    if (!c.is_object()) Errato(qui, "atteso un oggetto");
    Cliente cliente{Testo(c, "userid", qui), false};
    const std::string abilitato = Testo(c, "abilitato", qui);
    if (abilitato != "S" && abilitato != "N") Errato(qui + ".abilitato", "atteso \"S\" o \"N\"");
    cliente.abilitato = abilitato == "S";
    if (cliente.userid.empty() || cliente.userid == "*") Errato(qui + ".userid", "non valido");
    if (!utenti.insert(cliente.userid).second) Errato(qui, "cliente ripetuto " + cliente.userid);
    catalogo.clienti_.push_back(std::move(cliente));
  }

  std::set<long long> codici;
  const auto pacchetti = radice.find("pacchetti");
  if (pacchetti == radice.end() || !pacchetti->is_array()) {
    Errato(dove, "manca l'elenco \"pacchetti\"");
  }
  for (std::size_t i = 0; i < pacchetti->size(); ++i) {
    const std::string qui = dove + ": pacchetti[" + std::to_string(i) + "]";
    Pacchetto p = LeggiPacchetto((*pacchetti)[i], qui);
    if (!codici.insert(p.codice).second) Errato(qui, "codice ripetuto " + std::to_string(p.codice));
    for (const auto& u : p.clienti) {
      if (u != "*" && !utenti.contains(u)) Errato(qui + ".clienti", "cliente sconosciuto " + u);
    }
    catalogo.pacchetti_.push_back(std::move(p));
  }
  return catalogo;
}

std::string CatalogoServizio::NomeFile(long long codice) {
  std::array<char, 40> nome{};
  const int n = std::snprintf(nome.data(), nome.size(), "Aggiornamento%05lld.zip", codice);
  return {nome.data(), static_cast<std::size_t>(n)};
}

void CatalogoServizio::CostruisciPacchetti(const std::filesystem::path& cartella) {
  std::filesystem::create_directories(cartella);
  std::set<std::string> nomi;
  for (auto& p : pacchetti_) {
    const auto file = cartella / NomeFile(p.codice);
    ScriviZip(file, p);
    p.dimens = static_cast<long long>(std::filesystem::file_size(file));
    nomi.insert(file.filename().string());
  }
  for (const auto& voce : std::filesystem::directory_iterator(cartella)) {
    const std::string nome = voce.path().filename().string();
    if (nome.starts_with("Aggiornamento") && nome.ends_with(".zip") && !nomi.contains(nome)) {
      std::filesystem::remove(voce.path());
    }
  }
}

}  // namespace orvane::servizio
