#include "ProvaOstile.h"

namespace orvane::test::ostile {

void ProvaOstile::SetUpTestSuite() {
  server_ = std::make_unique<ServerOstile>();
}

void ProvaOstile::TearDownTestSuite() {
  server_.reset();
}

void ProvaOstile::SetUp() {
  ProvaQuomaro::SetUp();
  server_->Imposta({});
}

void ProvaOstile::TearDown() {
  server_->Imposta({});
  ProvaQuomaro::TearDown();
}

}  // namespace orvane::test::ostile
