#include "client/tools/ScaricaFile.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <system_error>
#include <utility>

namespace quomaro::strumento {
namespace {

constexpr long kSecondiSonda = 30;

struct ChiudiEasy {
  void operator()(CURL* h) const noexcept { curl_easy_cleanup(h); }
};

// A file descriptor that is closed when it goes.
class Descrittore {
 public:
  explicit Descrittore(int fd) : fd_(fd) {}
  ~Descrittore() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descrittore(const Descrittore&) = delete;
  Descrittore& operator=(const Descrittore&) = delete;
  Descrittore(Descrittore&&) = delete;
  Descrittore& operator=(Descrittore&&) = delete;
  [[nodiscard]] int fd() const { return fd_; }
  int Rilascia() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Removes the temporary file unless the rename took it.
class FileTemporaneo {
 public:
  explicit FileTemporaneo(std::filesystem::path p) : percorso_(std::move(p)) {}
  ~FileTemporaneo() {
    if (!percorso_.empty()) {
      std::error_code ignorato;
      std::filesystem::remove(percorso_, ignorato);
    }
  }
  FileTemporaneo(const FileTemporaneo&) = delete;
  FileTemporaneo& operator=(const FileTemporaneo&) = delete;
  FileTemporaneo(FileTemporaneo&&) = delete;
  FileTemporaneo& operator=(FileTemporaneo&&) = delete;
  [[nodiscard]] const std::filesystem::path& Percorso() const { return percorso_; }
  void Consegnato() { percorso_.clear(); }

 private:
  std::filesystem::path percorso_;
};

[[noreturn]] void Fallisci(const std::filesystem::path& file) {
  throw std::system_error(errno, std::generic_category(), file.string());
}

// A new file beside `file`, created exclusively (the umask decides its
// permissions, as for any new file).
int CreaAccanto(const std::filesystem::path& file, std::filesystem::path& temporaneo) {
  for (int tentativo = 0;; ++tentativo) {
    temporaneo = file;
    temporaneo += ".parte-" + std::to_string(::getpid()) + "-" + std::to_string(tentativo);
    const int fd = ::open(temporaneo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST || tentativo == 100) {
      if (fd < 0) Fallisci(file);
      return fd;
    }
  }
}

}  // namespace

Sonda SondaUrl(const std::string& url) {
  Sonda sonda;
  static const CURLcode inizio = curl_global_init(CURL_GLOBAL_DEFAULT);
  const std::unique_ptr<CURL, ChiudiEasy> h{inizio == CURLE_OK ? curl_easy_init() : nullptr};
  if (!h) {
    sonda.errore = "libcurl non disponibile";
    return sonda;
  }
  curl_easy_setopt(h.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(h.get(), CURLOPT_NOBODY, 1L);
  curl_easy_setopt(h.get(), CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h.get(), CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h.get(), CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(h.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h.get(), CURLOPT_TIMEOUT, kSecondiSonda);
  const CURLcode esito = curl_easy_perform(h.get());
  if (esito != CURLE_OK) {
    sonda.errore = curl_easy_strerror(esito);
    return sonda;
  }
  curl_easy_getinfo(h.get(), CURLINFO_RESPONSE_CODE, &sonda.stato);
  curl_off_t lunghezza = -1;
  if (curl_easy_getinfo(h.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &lunghezza) == CURLE_OK &&
      lunghezza >= 0) {
    sonda.dimensione = static_cast<long long>(lunghezza);
  }
  return sonda;
}

void SalvaAtomicamente(const std::filesystem::path& file, std::string_view contenuto) {
  std::filesystem::path percorso;
  Descrittore fd{CreaAccanto(file, percorso)};
  FileTemporaneo temporaneo{percorso};
  while (!contenuto.empty()) {
    const ssize_t n = ::write(fd.fd(), contenuto.data(), contenuto.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      Fallisci(file);
    }
    contenuto.remove_prefix(static_cast<std::size_t>(n));
  }
  if (::fsync(fd.fd()) != 0 || ::close(fd.Rilascia()) != 0) Fallisci(file);
  if (::rename(percorso.c_str(), file.c_str()) != 0) Fallisci(file);
  temporaneo.Consegnato();
}

}  // namespace quomaro::strumento
