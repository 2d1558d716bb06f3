#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Descrittore.h"

namespace platform {

/// Longest name of a folder entry that the file systems we write to take.
inline constexpr std::size_t kLunghezzaMassimaNome = 255;

/// Replaces `file` with `contenuto` so that the file is always either the
/// old or the whole new content, even across a crash: a temporary file in
/// the same folder (named "." + the file's name + "." + six letters or
/// digits, the name cut short so that the whole stays within
/// kLunghezzaMassimaNome) is written and flushed to disk, renamed over
/// `file`, and the folder is flushed. `modo` gives the new file's
/// permissions exactly; without it the umask decides them, as for any new
/// file. The new file keeps the owner and group of the file it replaces
/// where the writer may give it them (root may); a file root makes anew in
/// another user's folder is that user's, as are the folders
/// ApriCartellaPrivata makes there. When `file` is a symbolic link, the
/// file it points to is replaced and the link stays, provided that every
/// link followed is the writer's, root's or the owner's of the folder it
/// leads to; another user's link fails the write with EACCES. A pipe, a
/// socket or a device in the file's place fails it with EINVAL. Throws
/// std::system_error whose text names `file`; the temporary file is then
/// removed and `file` is untouched, unless the disk failed to flush the
/// folder after the rename: the new content is then in place but may not
/// survive a power cut.
void ScriviFileAtomico(const std::filesystem::path& file, std::string_view contenuto,
                       std::optional<mode_t> modo = std::nullopt);

/// The same write of the entry `nome` of the folder open on `cartella`,
/// where others may create entries: no link is ever followed. An entry
/// `nome` that is a symbolic link is itself replaced by the new file; the
/// temporary file is created exclusively, so a link planted under its name
/// fails the write. Throws std::system_error whose text names `nome`.
void ScriviFileAtomicoInCartella(int cartella, std::string_view nome, std::string_view contenuto,
                                 std::optional<mode_t> modo = std::nullopt);

/// A new content for the entry `nome` of the folder open on `cartella`,
/// written piece by piece under a temporary name with the rules of
/// ScriviFileAtomicoInCartella, and renamed over `nome` only by Consegna:
/// until then `nome` is untouched, and an object that goes without it
/// removes its temporary file. `vietati` are permission bits the new file
/// never has, whatever the umask. The folder must stay open as long as the
/// object lives. Every failure throws std::system_error whose text names
/// `nome`.
class FileAtomicoInCartella {
 public:
  FileAtomicoInCartella(int cartella, std::string_view nome,
                        std::optional<mode_t> modo = std::nullopt, mode_t vietati = 0);
  ~FileAtomicoInCartella();
  FileAtomicoInCartella(const FileAtomicoInCartella&) = delete;
  FileAtomicoInCartella& operator=(const FileAtomicoInCartella&) = delete;
  FileAtomicoInCartella(FileAtomicoInCartella&&) = delete;
  FileAtomicoInCartella& operator=(FileAtomicoInCartella&&) = delete;

  /// Appends `parte` to the new content. Every MB written, the disk is
  /// asked to start writing them out, so that a large file reaches it while
  /// the rest still arrives and Consegna's flush waits only for the tail.
  void Scrivi(std::string_view parte);
  /// The temporary file, open for reading too: what was written can be
  /// read back (with pread, or a duplicate) before it is placed.
  [[nodiscard]] int Fd() const noexcept { return fd_.Fd(); }
  /// The temporary file's name in the folder.
  [[nodiscard]] const std::string& Temporaneo() const noexcept { return temporaneo_; }
  /// Flushes the new content to disk and renames it over `nome`, then
  /// flushes the folder. A temporary name that no longer holds this file
  /// (someone with write access to the folder moved it) places nothing; one
  /// exchanged during the rename fails the call with their file under
  /// `nome`. A folder the disk fails to flush fails the call with the new
  /// file in place: it may not survive a power cut.
  void Consegna();

 private:
  int cartella_;
  std::string nome_;
  std::string temporaneo_;
  Descrittore fd_;
  // Bytes written, and those whose write-out has been started.
  off_t scritti_ = 0;
  off_t avviati_ = 0;
};

/// The sub-folder `nome` of the folder open on `cartella`, opened without
/// following a link: a link there fails with ELOOP or ENOTDIR. With `crea`
/// a missing one is made, with mode 0755 less the umask: no one else may
/// write it; its name is flushed to the disk with `cartella` before it is
/// opened, and one that cannot be flushed is removed again and fails the
/// call. One that anyone may write fails with EPERM, unless it has the
/// sticky bit, which keeps others from replacing what is not theirs. Throws
/// std::system_error whose text names `nome`.
[[nodiscard]] Descrittore ApriSottocartella(int cartella, std::string_view nome, bool crea);

/// The folder `cartella`, walked to one name at a time: a symbolic link on
/// the way is followed only where ScriviFileAtomico follows one (the
/// writer's, root's, or the owner's of the folder it leads to), another
/// user's fails with EACCES. With `crea` the missing folders are made, each
/// with mode 0700 less the umask, as the XDG base directories want them,
/// but none where another user's link leads; folders that exist are left as
/// they are. Throws std::system_error naming the folder, and for a folder it
/// could not create "<folder>: impossibile creare la cartella".
[[nodiscard]] Descrittore ApriCartellaPrivata(const std::filesystem::path& cartella, bool crea);

/// The file `file` opened for reading, without waiting should it be a FIFO,
/// once its links are followed as ScriviFileAtomico follows them: a file
/// that another user's link leads to fails with EACCES. Throws
/// std::system_error naming `file`.
[[nodiscard]] Descrittore ApriInLettura(const std::filesystem::path& file);

/// ApriCartellaPrivata(cartella, true), the folder left closed.
void CreaCartellePrivate(const std::filesystem::path& cartella);

/// The folder `cartella` itself, links on its path followed whoever owns
/// them (a path the program was configured with). Throws std::system_error naming it.
[[nodiscard]] Descrittore ApriCartella(const std::filesystem::path& cartella);

/// Removes the temporary files (beside the file a link points to, for a
/// link) that writers of `file` killed before their rename left behind:
/// regular files named exactly as a writer names its temporaries, nothing
/// else; links are followed as by ScriviFileAtomico, and nothing is done
/// where it would fail. A temporary file that a writer at work holds (every
/// writer locks its own) or that this process cannot open is left alone, so
/// writers of `file` in other processes may be at work.
void RimuoviTemporaneiOrfani(const std::filesystem::path& file);

/// The same clean-up for the entry `nome` of the folder open on `cartella`,
/// removing only regular files and following no link.
void RimuoviTemporaneiOrfaniInCartella(int cartella, std::string_view nome);

/// The same clean-up for every entry of the folder open on `cartella` whose
/// name `di` accepts (it is given the name as a temporary carries it, cut
/// short when long): for a folder whose files all follow one pattern, where
/// a killed writer's temporary may belong to a name no longer written.
void RimuoviTemporaneiOrfaniInCartella(int cartella,
                                       const std::function<bool(std::string_view)>& di);

}  // namespace platform
