#pragma once

#include <filesystem>

namespace platform {

/// The files the system keeps for itself at run time.
enum class FileSistema {
  LogErrori,       ///< "Tarvik.Log", the error log of a deliverable
  CopiaRichiesta,  ///< "SOAP.xml", the copy of the last service request
  Archivio,        ///< "Tervan.mdb", the local store
  BloccoIstanza,   ///< the lock that marks a running Tervan
  CanaleIstanza,   ///< the socket on which a running Tervan listens
};

/// The file that marks a system install's program folder (the Debian
/// package ships it): no user, root included, keeps files beside the
/// programs there, so the folder stays exactly as the package left it.
inline constexpr const char* kSegnoInstallazioneSistema = "installazione-di-sistema";

/// Whether the running user may keep files beside a deliverable in
/// `cartella`: the folder is theirs, they can write it and nobody else can
/// (no group or other write bit), and it is not marked as a system install.
/// A user's own install passes; a system install (root's, read-only for
/// users, marked) and a folder shared with a group do not.
[[nodiscard]] bool CartellaPropria(const std::filesystem::path& cartella);

/// The user's own folder for the system's files: $XDG_STATE_HOME (else
/// ~/.local/state) followed by "orvane/Tervan".
[[nodiscard]] std::filesystem::path CartellaStatoUtente();

/// The user's folder for the instance lock and socket: "orvane" in
/// $XDG_RUNTIME_DIR when that is an absolute folder of the user's own that
/// nobody else may enter (mode 0700), otherwise CartellaStatoUtente().
[[nodiscard]] std::filesystem::path CartellaEsecuzioneUtente();

/// Where the system keeps `quale` for the deliverable in `cartella` (the
/// program folder, or the library's folder for Quomaro); decides only and
/// creates nothing. The log, the request copy and the store go beside the
/// deliverable when CartellaPropria(cartella), otherwise to
/// CartellaStatoUtente(). The lock and the socket always go to
/// CartellaEsecuzioneUtente(), named after the program folder and the
/// session's display, so each user's Tervan of each session has its own.
[[nodiscard]] std::filesystem::path PostoFile(FileSistema quale,
                                              const std::filesystem::path& cartella);

/// PostoFile, with the per-user folder it names made ready for writing:
/// missing folders are created with mode 0700, one level at a time and
/// never through a link below the base folder ($XDG_STATE_HOME,
/// $XDG_RUNTIME_DIR or their defaults, which are opened as the system
/// resolves them). Throws std::system_error naming the folder when a
/// per-user folder is a link, another user's, or writable by others.
[[nodiscard]] std::filesystem::path PreparaPostoFile(FileSistema quale,
                                                     const std::filesystem::path& cartella);

/// Puts a copy of `origine` at `destinazione` unless something is there
/// already, which is never replaced (two starts that copy at once keep the
/// first copy). The copy (mode 0600) appears whole or not at all and never
/// through a link. Throws std::system_error naming the file that failed.
void CopiaSeAssente(const std::filesystem::path& origine,
                    const std::filesystem::path& destinazione);

}  // namespace platform
