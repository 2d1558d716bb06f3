#include "ProvaQuomaro.h"

#include <cstdlib>

#include "quomaro/Host.h"

namespace quomaro::test {

void ProvaQuomaro::SetUp() {
  ::setenv("no_proxy", "*", 1);
  std::filesystem::remove(CartellaLibreria() / "Tarvik.Log");
  std::filesystem::remove_all(CartellaLibreria() / "SOAP.xml");
  quomaro::ImpostaPortaMessaggi(messaggi_.Porta());
}

void ProvaQuomaro::TearDown() {
  ::unsetenv("ORVANE_UPDATE_SERVER");
  quomaro::ImpostaPortaMessaggi({});
  quomaro::ImpostaPompaMessaggi({});
  quomaro::ImpostaOrologio({});
  std::filesystem::remove(CartellaLibreria() / "Tarvik.Log");
  std::filesystem::remove_all(CartellaLibreria() / "SOAP.xml");
}

}  // namespace quomaro::test
