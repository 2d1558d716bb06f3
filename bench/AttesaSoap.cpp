// CPU used by the process while clsSOAP waits for a slow answer, with a
// host message pump installed as Tervan installs one.
//
//   bench_attesa_soap URL    (URL answers after some seconds)

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "quomaro/Host.h"
#include "quomaro/clsSOAP.h"

namespace {

double SecondiCpu() {
  rusage uso{};
  getrusage(RUSAGE_SELF, &uso);
  const auto secondi = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return secondi(uso.ru_utime) + secondi(uso.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "uso: %s URL\n", argv[0]);
    return 2;
  }
  quomaro::SostituisciRigaDiComando("DEBUG");
  long turni = 0;
  quomaro::ImpostaPompaMessaggi([&turni] { ++turni; });
  quomaro::clsSOAP soap;
  soap.URI(argv[1]);

  const double cpuPrima = SecondiCpu();
  const auto inizio = std::chrono::steady_clock::now();
  const std::string risposta =
      soap.InviaRichiestaPOST({"Utente;ROSSI", ""}, "RichiestaConnessione");
  const std::chrono::duration<double> durata = std::chrono::steady_clock::now() - inizio;
  const double cpu = SecondiCpu() - cpuPrima;

  std::printf(
      "attesa SOAP: %.2f s, CPU %.3f s = %.2f%% di un core (obiettivo < 3%%), "
      "%ld turni della pompa, risposta \"%s\"\n",
      durata.count(), cpu, 100.0 * cpu / durata.count(), turni, risposta.c_str());
  const double percento = 100.0 * cpu / durata.count();
  const bool raggiunto = risposta == "S" && percento < 3.0;
  std::printf("esito: CPU durante un'attesa SOAP di 10 s | < 3%% di un core | %.2f%% | %s\n",
              percento, raggiunto ? "raggiunto" : "MANCATO");
  return raggiunto ? 0 : 1;
}
