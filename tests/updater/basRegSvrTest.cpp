#include "updater/basRegSvr.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/Cartelle.h"
#include "platform/RigaDiComando.h"
#include "tests/support/CartellaTemporanea.h"
#include "updater/basTervan.h"

namespace tervan {
namespace {

using namespace std::chrono_literals;
using orvane::test::CartellaTemporanea;
using orvane::test::ScriviFile;

template <class F>
std::chrono::milliseconds Durata(F&& f) {
  const auto inizio = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               inizio);
}

TEST(RegServer, AnErrorCodeFromTheEntryPointCountsAsRegisteredAThrowAsAFailure) {
  EXPECT_TRUE(RegServer(COMPONENTE_ERRORE, true));
  EXPECT_TRUE(RegServer(COMPONENTE_ERRORE, false));
  EXPECT_FALSE(RegServer(COMPONENTE_CHE_LANCIA, true));
}

TEST(RegServer, SlowEntryPointFailsWhenTheLimitStrikesWithoutBlockingTheCaller) {
  bool esito = true;
  const auto durata = Durata([&] { esito = RegServer(COMPONENTE_LENTO, true, 300ms); });
  EXPECT_FALSE(esito);
  EXPECT_GE(durata, 300ms);
  EXPECT_LT(durata, 2500ms);
  // The abandoned registration finishes later inside a library that stayed loaded.
}

TEST(RegServer, WhatIsNoRegistrableLibraryFailsAtOnce) {
  CartellaTemporanea cartella;
  ScriviFile(cartella / "testo.so", "solo testo, non una libreria");
  ScriviFile(cartella / "vuoto.so", "");
  std::filesystem::create_directory(cartella / "cartella.so");
  const auto durata = Durata([&] {
    EXPECT_FALSE(RegServer((cartella / "manca.dll").string(), true));
    EXPECT_FALSE(RegServer((cartella / "testo.so").string(), true));
    EXPECT_FALSE(RegServer((cartella / "vuoto.so").string(), true));
    EXPECT_FALSE(RegServer((cartella / "cartella.so").string(), true));
    EXPECT_FALSE(RegServer(SENZA_INGRESSO, true));
  });
  EXPECT_LT(durata, 1000ms);
}

TEST(RegServer, WindowsComponentNamesFindTheLibraryCaseInsensitively) {
  CartellaTemporanea cartella;
  std::filesystem::copy_file(COMPONENTE_ERRORE, cartella / "Brisko.so");
  EXPECT_TRUE(RegServer((cartella / "brisko.ocx").string(), true));
  EXPECT_TRUE(RegServer((cartella / "BRISKO.DLL").string(), true));
}

TEST(ModalitaLive, MarkerFileOrExactlyLiveOnTheCommandLine) {
  CartellaTemporanea programma;
  platform::ImpostaCartellaProgramma(programma.Percorso());
  for (const auto& [riga, live] :
       std::initializer_list<std::pair<const char*, bool>>{{"LIVE", true},
                                                           {" LIVE", false},
                                                           {"live", false},
                                                           {"LIVE ", false},
                                                           {"", false},
                                                           {"VERIFICA", false}}) {
    platform::SostituisciRigaDiComando(riga);
    EXPECT_EQ(ModalitaLive(), live) << "'" << riga << "'";
  }
  platform::SostituisciRigaDiComando("VERIFICA");
  // The marker is found as Windows finds a file: in any case.
  for (const char* nome : {"Live.txt", "LIVE.TXT", "live.txt"}) {
    ScriviFile(programma / nome, "");
    EXPECT_TRUE(ModalitaLive()) << nome;
    std::filesystem::remove(programma / nome);
    EXPECT_FALSE(ModalitaLive()) << nome;
  }
  std::filesystem::create_directory(programma / "LIVE.txt");
  EXPECT_FALSE(ModalitaLive());
  platform::SostituisciRigaDiComando(std::nullopt);
  platform::ImpostaCartellaProgramma(std::nullopt);
}

}  // namespace
}  // namespace tervan
