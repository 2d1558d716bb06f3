// The maker's signatures, made by the real minisign tool and served by the
// reference service beside the packages.
#include "quomaro/FirmaPacchetto.h"

#include <gmock/gmock.h>
#include <sodium.h>

#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "ProvaQuomaro.h"
#include "tests/support/AltroUtente.h"
#include "tests/support/Minisign.h"

namespace quomaro::test {
namespace {

namespace fs = std::filesystem;
using orvane::test::ChiaviMinisign;
using orvane::test::LeggiFile;
using orvane::test::ScriviFile;
using ::testing::HasSubstr;

class FirmaPacchettoTest : public ProvaQuomaro {
 protected:
  ServizioFiglio servizio_;
  ChiaviMinisign maker_;
  ChiaviMinisign altro_;
};

TEST_F(FirmaPacchettoTest, OnlyTheMakersSignatureOfThatVeryFileVerifies) {
  const auto chiave = LeggiFileChiave(maker_.Pubblica());
  ASSERT_TRUE(chiave);
  struct Caso {
    const char* nome;
    // Prepares the package `file` (already in the service's folder) and
    // its signature beside it; may change what the client holds.
    std::function<void(const fs::path& file, std::string& corpo)> prepara;
    EsitoFirma esito;
    const char* descrizione;
  };
  const auto firma = [](const fs::path& file) { return fs::path(file.string() + ".minisig"); };
  // A prehashed signature relabelled as legacy signs the package's hash,
  // which is then served as the package; with minisign's default trusted
  // comment, or with one of the maker's own that names the file alone.
  const auto spacciata = [&](const std::string& commento) {
    return [&, commento](const fs::path& f, std::string& corpo) {
      maker_.Firma(f, false, commento.empty() ? "" : commento + f.filename().string());
      std::string testo = LeggiFile(firma(f));
      testo[testo.find('\n') + 2] = 'W';  // "ED" becomes "Ed"
      ScriviFile(firma(f), testo);
      std::string impronta(crypto_generichash_BYTES_MAX, '\0');
      crypto_generichash(reinterpret_cast<unsigned char*>(impronta.data()), impronta.size(),
                         reinterpret_cast<const unsigned char*>(corpo.data()), corpo.size(),
                         nullptr, 0);
      corpo = impronta;
    };
  };
  const Caso casi[] = {
      {"prehash", [&](auto& f, auto&) { maker_.Firma(f); }, EsitoFirma::Valida, ""},
      {"legacy", [&](auto& f, auto&) { maker_.Firma(f, true); }, EsitoFirma::Valida, ""},
      {"pacchetto alterato della stessa dimensione",
       [&](auto& f, auto& corpo) {
         maker_.Firma(f);
         corpo[corpo.size() / 2] ^= 0x01;
       },
       EsitoFirma::NonValida, "non è quello firmato"},
      {"legacy alterato",
       [&](auto& f, auto& corpo) {
         maker_.Firma(f, true);
         corpo.back() ^= 0x01;
       },
       EsitoFirma::NonValida, "non è quello firmato"},
      {"prehash spacciato per legacy", spacciata(""), EsitoFirma::NonValida,
       "non è quello firmato"},
      {"prehash con commento proprio spacciato per legacy", spacciata("file:"),
       EsitoFirma::NonValida, "non è quello firmato"},
      {"altra chiave", [&](auto& f, auto&) { altro_.Firma(f); }, EsitoFirma::AltraChiave,
       "un'altra chiave"},
      {"mancante", [](auto&, auto&) {}, EsitoFirma::Mancante, "HTTP 404"},
      {"vuota", [&](auto& f, auto&) { ScriviFile(firma(f), ""); }, EsitoFirma::Malformata,
       "file vuoto"},
      {"malformata",
       [&](auto& f, auto&) {
         maker_.Firma(f);
         std::string testo = LeggiFile(firma(f));
         testo.erase(testo.find('\n') + 5, 4);  // the signature line loses bytes
         ScriviFile(firma(f), testo);
       },
       EsitoFirma::Malformata, "non leggibile"},
      {"firma di un altro pacchetto",
       [&](auto& f, auto&) {
         const fs::path copia = f.parent_path() / "Aggiornamento09999.zip";
         fs::copy_file(f, copia);
         maker_.Firma(copia, false, "", firma(f));
       },
       EsitoFirma::AltroFile, "file:Aggiornamento09999.zip"},
      {"nome come prefisso di un altro",
       [&](auto& f, auto&) {
         maker_.Firma(f, false, "file:" + f.filename().string() + ".vecchio");
       },
       EsitoFirma::AltroFile, "un altro file"},
      {"commento fidato modificato",
       [&](auto& f, auto&) {
         maker_.Firma(f);
         std::string testo = LeggiFile(firma(f));
         testo.replace(testo.find("timestamp:"), 10, "timestamp:9");
         ScriviFile(firma(f), testo);
       },
       EsitoFirma::CommentoAlterato, "commento fidato"},
  };
  int codice = 500;
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.nome);
    const std::string nome = "Aggiornamento00" + std::to_string(++codice) + ".zip";
    const fs::path file = servizio_.FilePacchetto(nome);
    std::string corpo = "PK\3\4 pacchetto " + nome + std::string(4000, 'z');
    ScriviFile(file, corpo);
    c.prepara(file, corpo);
    const VerificaFirma v = VerificaPacchettoScaricato(
        *chiave, servizio_.Server() + "/ServizioAggiornamenti/download/" + nome, corpo);
    EXPECT_EQ(v.esito, c.esito) << v.Descrizione();
    EXPECT_THAT(v.Descrizione(), HasSubstr(c.descrizione));
  }
  // No service at all: the signature could not be fetched.
  EXPECT_EQ(VerificaPacchettoScaricato(*chiave, UrlChiuso("/Aggiornamento00001.zip"), "x").esito,
            EsitoFirma::NonScaricata);
}

TEST_F(FirmaPacchettoTest, NoKeyFileIsNoKeyButAnUnusableOneFails) {
  orvane::test::CartellaTemporanea cartella;
  EXPECT_FALSE(LeggiFileChiave(cartella / "aggiornamenti.pub"));
  const auto chiave = LeggiFileChiave(maker_.Pubblica());
  ASSERT_TRUE(chiave);
  // minisign prints the key id on the key's comment line, as we show it.
  EXPECT_THAT(LeggiFile(maker_.Pubblica()), HasSubstr("public key " + chiave->IdTesto() + "\n"));

  fs::create_symlink(cartella / "altrove.pub", cartella / "collegamento.pub");
  ScriviFile(cartella / "firma.pub", LeggiFile(servizio_.FilePacchetto("Aggiornamento00007.zip")));
  fs::create_directory(cartella / "cartella.pub");
  // The maker's key, but others may write it, or it is another user's.
  fs::copy_file(maker_.Pubblica(), cartella / "scrivibile.pub");
  fs::permissions(cartella / "scrivibile.pub", fs::perms(0664));
  std::vector<std::string> nomi{"collegamento.pub", "firma.pub", "cartella.pub", "scrivibile.pub"};
  if (::geteuid() == 0) {
    fs::copy_file(maker_.Pubblica(), cartella / "altrui.pub");
    ASSERT_EQ(::chown((cartella / "altrui.pub").c_str(), orvane::test::kUtenteNessuno, 0), 0);
    fs::create_symlink(cartella / "altrui.pub", cartella / "verso-altrui.pub");
    // Another user's link to a root-owned key, such as one the kernel
    // shows for a process of theirs.
    fs::copy_file(maker_.Pubblica(), cartella / "di-root.pub");
    fs::create_symlink(cartella / "di-root.pub", cartella / "link-altrui.pub");
    EXPECT_EQ(::lchown((cartella / "link-altrui.pub").c_str(), orvane::test::kUtenteNessuno, 0), 0);
    nomi.insert(nomi.end(), {"altrui.pub", "verso-altrui.pub", "link-altrui.pub"});
  }
  for (const std::string& nome : nomi) {
    SCOPED_TRACE(nome);
    EXPECT_THROW((void)LeggiFileChiave(cartella / nome), std::runtime_error);
  }
  // A key that cannot be opened says why in Italian, whatever the locale.
  EXPECT_THAT([&] { (void)LeggiFileChiave(cartella / "collegamento.pub"); },
              ::testing::ThrowsMessage<std::runtime_error>(
                  ::testing::EndsWith("inutilizzabile: Impossibile trovare il file")));
}

}  // namespace
}  // namespace quomaro::test
