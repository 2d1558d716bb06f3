#pragma once

#include <string>

#include "quomaro/Esporta.h"

namespace quomaro {

/// The events of a download, delivered synchronously on the thread that
/// called OpenURL. A holder overrides the ones it wants.
class QUOMARO_API DownloadEventi {
 public:
  virtual ~DownloadEventi();
  /// Declared for the holder; not raised by clsDownload.
  virtual void DownloadInizio() {}
  /// Declared for the holder; not raised by clsDownload.
  virtual void DownloadFine(const std::string& StrContent) { static_cast<void>(StrContent); }
  /// Raised after every read with the running total of bytes received in
  /// this call (a 32-bit signed count; a larger body fails the download).
  virtual void DownloadProgressione(long ByteLetti) { static_cast<void>(ByteLetti); }

 protected:
  DownloadEventi() = default;
  DownloadEventi(const DownloadEventi&) = default;
  DownloadEventi& operator=(const DownloadEventi&) = default;
  DownloadEventi(DownloadEventi&&) = default;
  DownloadEventi& operator=(DownloadEventi&&) = default;
};

/// Fetches one resource by HTTP GET and hands back its whole content,
/// reporting progress after every read of at most 2048 bytes.
class QUOMARO_API clsDownload {
 public:
  /// Largest body a download may have: the range of the 32-bit count that
  /// DownloadProgressione reports.
  static constexpr long kByteMassimi = 2147483647L;
  /// A connection not made within this many seconds is abandoned, and so is
  /// a transfer slower than 512 bytes a second on average for as long.
  static constexpr long kSecondiSenzaDatiMassimi = 60;

  clsDownload() = default;

  /// Attaches the holder that receives the events (nullptr: nobody). The
  /// holder must outlive every call made while it is attached.
  void ImpostaEventi(DownloadEventi* eventi) { eventi_ = eventi; }
  [[nodiscard]] DownloadEventi* Eventi() const { return eventi_; }

  /// Downloads `sUrl` (user agent "VB Project", the proxy settings of the
  /// environment, never from a cache) and returns its body, bytes unchanged;
  /// an HTTP error answer returns its body too. Returns an empty string when
  /// nothing could be received, the transfer broke off before the end or
  /// was abandoned as too slow (the events already raised stay raised). A body beyond kByteMassimi
  /// is a failure logged to the library's error log (module "clsDownload").
  std::string OpenURL(const std::string& sUrl);

 private:
  DownloadEventi* eventi_ = nullptr;
};

}  // namespace quomaro
