#include "common/clsGUID.h"

#include <sys/random.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <system_error>

namespace orvane {
namespace {

std::array<std::uint8_t, 16> ByteCasuali() {
  std::array<std::uint8_t, 16> byte{};
  std::size_t letti = 0;
  while (letti < byte.size()) {
    const ssize_t n = ::getrandom(byte.data() + letti, byte.size() - letti, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "getrandom");
    }
    letti += static_cast<std::size_t>(n);
  }
  return byte;
}

}  // namespace

std::string clsGUID::CreateGUID(std::string_view strRemoveChars) const {
  auto byte = ByteCasuali();
  byte[6] = static_cast<std::uint8_t>((byte[6] & 0x0FU) | 0x40U);  // version 4
  byte[8] = static_cast<std::uint8_t>((byte[8] & 0x3FU) | 0x80U);  // RFC 4122 variant

  static constexpr std::string_view kCifre = "0123456789ABCDEF";
  std::string testo;
  testo.reserve(38);
  testo += '{';
  for (std::size_t i = 0; i < byte.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) testo += '-';
    testo += kCifre[byte[i] >> 4U];
    testo += kCifre[byte[i] & 0x0FU];
  }
  testo += '}';

  for (const char c : strRemoveChars) {
    testo.erase(std::remove(testo.begin(), testo.end(), c), testo.end());
  }
  return testo;
}

}  // namespace orvane
