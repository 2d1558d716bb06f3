#include "updater/envAggior.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "common/Errore.h"
#include "common/Routine.h"
#include "platform/Collocazione.h"
#include "platform/TestoUtf8.h"

namespace tervan {
namespace {

// Sets the damaged `copia` aside, with its journal, under the name
// "Tervan.mdb.danneggiato" (the one set aside before is replaced) and copies
// the shipped store into its place again.
void RifaiCopia(const std::string& motivo, const std::filesystem::path& origine,
                const std::filesystem::path& copia) {
  const std::filesystem::path parte = copia.string() + ".danneggiato";
  for (const char* coda : {"", "-journal"}) {
    if (std::rename((copia.string() + coda).c_str(), (parte.string() + coda).c_str()) != 0 &&
        errno != ENOENT) {
      throw std::system_error(errno, std::generic_category(),
                              "impossibile mettere da parte " + copia.string() + coda);
    }
  }
  platform::CopiaSeAssente(origine, copia);
  std::fprintf(stderr, "Tervan: %s; messo da parte come %s e ricreato da %s\n", motivo.c_str(),
               parte.c_str(), origine.c_str());
}

}  // namespace

envAggior::envAggior(const std::filesystem::path& cartellaProgramma)
    : rsAGGIOR_(std::make_shared<RecordsetLocale>(RecordsetLocale::Tabella(conAggior_, "AGGIOR"))) {
  // A store that cannot be opened is reported by the first routine that uses it.
  orvane::Tacitamente([&] {
    std::filesystem::path file;
    bool copia = false;
    try {
      file = platform::PreparaPostoFile(platform::FileSistema::Archivio, cartellaProgramma);
      // A user who may not write the program folder starts from a copy of
      // the empty store shipped there.
      copia = file.parent_path() != cartellaProgramma;
      if (copia) platform::CopiaSeAssente(cartellaProgramma / kNomeFile, file);
    } catch (const std::system_error& e) {
      conAggior_->NonAperta("Archivio locale non disponibile: " + orvane::TestoErroreDiSistema(e));
      throw;
    }
    try {
      conAggior_->Apri(file);
    } catch (const orvane::Errore& e) {
      // A damaged copy is set aside and made anew from the shipped store:
      // the next discovery pass writes its programs again, and only their
      // last checks and the chosen interval are lost, where keeping the
      // damaged file would stop every check for good. The store in the
      // program folder itself has no copy to come from.
      if (!copia || !conAggior_->Danneggiato()) throw;
      try {
        RifaiCopia(e.what(), cartellaProgramma / kNomeFile, file);
      } catch (const std::system_error& rifacimento) {
        // The damaged copy may be set aside already: the reason to report
        // is why no new one could be made (a full disk, a missing store in
        // the program folder), not only the damage.
        conAggior_->NonAperta(std::string(e.what()) + "; " +
                              orvane::TestoErroreDiSistema(rifacimento));
        throw;
      }
      conAggior_->Apri(file);
    }
  });
  orvane::Tacitamente([&] { AGGIOR(); });
}

envAggior::~envAggior() {
  rsAGGIOR_->Close();
  conAggior_->Chiudi();
}

void envAggior::AGGIOR() {
  rsAGGIOR_->Close();
  rsAGGIOR_->Open();
}

std::shared_ptr<RecordsetLocale> envAggior::FrequenzaAggiornamento() {
  auto rs = std::make_shared<RecordsetLocale>(
      RecordsetLocale::Query(conAggior_, std::string(istruzioni::kFrequenzaAggiornamento)));
  rs->Open();
  return rs;
}

int IntervalloInMinuti(std::string_view freque) {
  const auto vuoto = platform::SenzaSpaziAiLati(freque).empty();
  const std::string_view testo = vuoto ? std::string_view("00:00:01") : freque;
  const auto numero = [&](std::size_t da) {
    if (testo.size() < da + 2)
      throw orvane::Errore(orvane::kTipoNonCorrispondente, "Tipo non corrispondente");
    int n = 0;
    for (std::size_t i = da; i < da + 2; ++i) {
      if (std::isdigit(static_cast<unsigned char>(testo[i])) == 0) {
        throw orvane::Errore(orvane::kTipoNonCorrispondente, "Tipo non corrispondente");
      }
      n = n * 10 + (testo[i] - '0');
    }
    return n;
  };
  return numero(0) * 1440 + numero(3) * 60 + numero(6);
}

}  // namespace tervan
