// Filling Tervan's update list: the time to append the packages of one
// program to the grid (sort, filter, duplicate check, two rows of styled
// cells each, drawing switched off), for 1,000 and for 5,000 packages. The
// time must grow no worse than linearly, and 5,000 must take under 500 ms.
//
//   bench_riempi_griglia      (prints the figures; runs offscreen)

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "../tests/updater/FinestraSciolta.h"
#include "common/Versione.h"
#include "platform/RigaDiComando.h"
#include "quomaro/Recordset.h"
#include "updater/ElencoAggiornamenti.h"
#include "updater/StatoFinestra.h"

// The benchmark is a program of its own for the error log.
const orvane::Versione orvane::kVersioneModulo{2, 0, 44};

namespace {

// The file list as the service sends it: `quanti` packages of TARVIK, in
// reverse date order (the fill sorts them), plus as many of another program
// that the filter drops.
std::string ElencoXml(int quanti) {
  quomaro::Recordset rs;
  rs.Crea({{"dataxx", "dateTime"},
           {"codice", "int"},
           {"progra"},
           {"TipoXx"},
           {"Filexx"},
           {"dimens", "int"},
           {"notexx"}});
  for (int i = quanti; i >= 1; --i) {
    char data[32];
    std::snprintf(data, sizeof data, "20%02d-%02d-%02dT%02d:%02d:00", 10 + i % 15, 1 + i % 12,
                  1 + i % 28, i % 24, i % 60);
    for (const char* programma : {"TARVIK", "SELVOR"}) {
      rs.AggiungiRiga({data, std::to_string(i), programma, programma,
                       "Aggiornamento numero " + std::to_string(i) + " degli archivi",
                       std::to_string(1000 + i * 37),
                       "Prima riga della nota\r\nseconda riga della nota"});
    }
  }
  return rs.Save();
}

struct Tempi {
  double parete = 1e30;  // wall time, ms
  double cpu = 1e30;     // CPU time of the process, ms: what the machine's load does not inflate
};

double MillisecondiCpu() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Time to fill an empty list from the file list, best of seven runs.
Tempi Riempimento(const std::string& xml, int& righe) {
  Tempi migliore;
  for (int giro = 0; giro < 7; ++giro) {
    tervan::test::FinestraSciolta finestra;
    tervan::StatoFinestra stato;
    tervan::ElencoAggiornamenti elenco(stato, finestra.controlli);
    elenco.ImpostaGriglia();
    quomaro::Recordset rs;
    rs.Apri(xml);
    const double cpuInizio = MillisecondiCpu();
    const auto inizio = std::chrono::steady_clock::now();
    elenco.AggiungiPacchetti(rs, "TARVIK");
    const std::chrono::duration<double, std::milli> durata =
        std::chrono::steady_clock::now() - inizio;
    migliore.parete = std::min(migliore.parete, durata.count());
    migliore.cpu = std::min(migliore.cpu, MillisecondiCpu() - cpuInizio);
    righe = elenco.Righe();
  }
  return migliore;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication applicazione(argc, argv);
  platform::SostituisciRigaDiComando("DEBUG");

  int righe1000 = 0, righe5000 = 0;
  const Tempi t1000 = Riempimento(ElencoXml(1000), righe1000);
  const Tempi t5000 = Riempimento(ElencoXml(5000), righe5000);
  const double crescita = (t5000.cpu / t1000.cpu) / 5.0;
  std::printf("1.000 pacchetti: %8.1f ms (CPU %6.1f ms, %d righe)\n", t1000.parete, t1000.cpu,
              righe1000);
  std::printf("5.000 pacchetti: %8.1f ms (CPU %6.1f ms, %d righe)   obiettivo: sotto 500 ms  %s\n",
              t5000.parete, t5000.cpu, righe5000, t5000.parete < 500 ? "OK" : "NO");
  std::printf("rapporto CPU 5.000/1.000: %.2f (lineare: 5,00); rispetto al lineare: %.2fx  %s\n",
              t5000.cpu / t1000.cpu, crescita, crescita <= 1.25 ? "OK" : "NO");
  // One line per figure in the form bench/tutto gathers.
  const bool entroTempo = t5000.parete < 500;
  const bool lineare = crescita <= 1.25;
  std::printf("esito: elenco, 5.000 pacchetti | < 500 ms | %.1f ms | %s\n", t5000.parete,
              entroTempo ? "raggiunto" : "MANCATO");
  std::printf("esito: elenco, crescita rispetto al lineare | <= 1.25x | %.2fx | %s\n", crescita,
              lineare ? "raggiunto" : "MANCATO");
  return righe1000 == 2000 && righe5000 == 10000 && entroTempo && lineare ? 0 : 1;
}
