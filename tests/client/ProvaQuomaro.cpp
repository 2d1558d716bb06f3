#include "tests/client/ProvaQuomaro.h"

#include <cstdlib>

#include "quomaro/Host.h"
#include "tests/support/CartellaTemporanea.h"

namespace quomaro::test {

void ProvaQuomaro::SetUp() {
  ::setenv("no_proxy", "*", 1);
  std::filesystem::remove(CartellaLibreria() / "Tarvik.Log");
  std::filesystem::remove_all(CartellaLibreria() / "SOAP.xml");
  quomaro::ImpostaPortaMessaggi(messaggi_.Porta());
}

void ProvaQuomaro::TearDown() {
  quomaro::ImpostaPortaMessaggi({});
  quomaro::ImpostaPompaMessaggi({});
  quomaro::ImpostaOrologio({});
  std::filesystem::remove(CartellaLibreria() / "Tarvik.Log");
  std::filesystem::remove_all(CartellaLibreria() / "SOAP.xml");
}

std::filesystem::path ProvaQuomaro::CartellaLibreria() {
  return QUOMARO_CARTELLA;
}

std::string ProvaQuomaro::Log() {
  return orvane::test::LeggiFile(CartellaLibreria() / "Tarvik.Log");
}

int ProvaQuomaro::RecordNelLog() {
  const std::string log = Log();
  int n = 0;
  for (auto i = log.find(" Data "); i != std::string::npos; i = log.find(" Data ", i + 1))
    ++n;
  return n;
}

}  // namespace quomaro::test
