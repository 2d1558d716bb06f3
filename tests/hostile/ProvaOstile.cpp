#include "ProvaOstile.h"

#include <cstdlib>

#include "quomaro/Host.h"

namespace orvane::test::ostile {

void ProvaOstile::SetUpTestSuite() {
  server_ = std::make_unique<ServerOstile>();
}

void ProvaOstile::TearDownTestSuite() {
  server_.reset();
}

void ProvaOstile::SetUp() {
  ::setenv("no_proxy", "*", 1);
  std::filesystem::remove(CartellaLibreria() / "Tarvik.Log");
  quomaro::ImpostaPortaMessaggi(messaggi_.Porta());
  server_->Imposta({});
}

void ProvaOstile::TearDown() {
  server_->Imposta({});
  ::unsetenv("ORVANE_UPDATE_SERVER");
  quomaro::ImpostaPortaMessaggi({});
  std::filesystem::remove(CartellaLibreria() / "Tarvik.Log");
  std::filesystem::remove_all(CartellaLibreria() / "SOAP.xml");
}

}  // namespace orvane::test::ostile
