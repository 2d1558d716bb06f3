#include "tests/support/CartellaTemporanea.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace orvane::test {

CartellaTemporanea::CartellaTemporanea() {
  std::string modello = (std::filesystem::temp_directory_path() / "orvane-test-XXXXXX").string();
  if (::mkdtemp(modello.data()) == nullptr) throw std::runtime_error("mkdtemp non riuscito");
  percorso_ = modello;
}

CartellaTemporanea::~CartellaTemporanea() {
  std::error_code ec;
  // Tests may leave read-only entries behind; make everything removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(percorso_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(percorso_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(percorso_, ec);
}

std::string LeggiFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Ripeti(std::string_view testo, std::size_t volte) {
  std::string r;
  r.reserve(testo.size() * volte);
  for (std::size_t i = 0; i < volte; ++i)
    r += testo;
  return r;
}

std::vector<std::string> NomiInCartella(const std::filesystem::path& cartella) {
  std::vector<std::string> nomi;
  std::error_code ec;
  for (const auto& v : std::filesystem::directory_iterator(cartella, ec))
    nomi.push_back(v.path().filename().string());
  return nomi;
}

void ScriviFile(const std::filesystem::path& file, std::string_view contenuto) {
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(contenuto.data(), static_cast<std::streamsize>(contenuto.size()));
  if (!out) throw std::runtime_error("impossibile scrivere " + file.string());
}

}  // namespace orvane::test
