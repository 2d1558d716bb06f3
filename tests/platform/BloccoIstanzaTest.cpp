// The single-instance lock as two users of one program folder meet it.
#include "platform/BloccoIstanza.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

#include "tests/support/AltroUtente.h"
#include "tests/support/CartellaTemporanea.h"

namespace platform {
namespace {

using orvane::test::ComeAltroUtente;

// 0: another instance runs; 1: the lock was taken; 2: the file could not be used.
int Esito(const std::filesystem::path& file) {
  try {
    return BloccoIstanza::Acquisisci(file) ? 1 : 0;
  } catch (const std::system_error&) {
    return 2;
  }
}

TEST(BloccoIstanza, ALockFileAnotherUserCreatedGuardsEveryoneWhoCanReadIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as two users needs root";
  orvane::test::CartellaTemporanea cartella;
  ASSERT_EQ(::chmod(cartella.Percorso().c_str(), 0755), 0);
  const auto file = cartella / "Tervan.lock";
  {
    const auto primo = BloccoIstanza::Acquisisci(file);
    ASSERT_TRUE(primo);
    EXPECT_EQ(ComeAltroUtente([&] { return Esito(file); }), 0);
  }
  // With none running, the other user's instance holds the lock through a
  // read-only descriptor, and a second start of that user sees it.
  EXPECT_EQ(ComeAltroUtente([&] {
              const auto primo = BloccoIstanza::Acquisisci(file);
              return primo ? Esito(file) : 3;
            }),
            0);
  // A lock file nobody else may read leaves that user's start to its caller.
  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  EXPECT_EQ(ComeAltroUtente([&] { return Esito(file); }), 2);
}

}  // namespace
}  // namespace platform
