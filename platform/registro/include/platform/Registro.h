#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// The registry of this platform: a store kept in plain text files, one per
/// root key ("HKEY_CURRENT_USER.reg", ...), in the format of the Windows
/// registry editor, in the folder CartellaRegistro() names. The functions below
/// behave as their Windows namesakes: keys are opened by handle, key and
/// value names compare without regard to case and keep the spelling they
/// were created with, failures come back as Windows error codes.
///
/// Every change is written to a temporary file in the same folder and renamed
/// over the old file, under an exclusive lock on the folder held from reading
/// the file to the rename: two processes never lose each other's changes and
/// a crash never leaves a half-written file. A file that cannot be read as a
/// whole is never overwritten: changes on its root fail with ERROR_BADDB,
/// reads use the parts that could be read, and the problem is reported once
/// per file through the port set with ImpostaSegnalazioneRegistro.
///
/// String values of SOFTWARE\Microsoft\Windows\CurrentVersion\Run under
/// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER are not kept in the files: each
/// is an XDG autostart entry in CartellaAutostart() (both roots share that
/// folder). That key always exists; deleting a tree that holds it leaves the
/// autostart entries alone (they go value by value). Listing the key shows
/// only the entries this store wrote; other programs' entries can be read by
/// name but are never listed or deleted.

/// Below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE lies, read only, the
/// registry of the Wine prefix the maker's programs run in (PrefissoWine:
/// "user.reg" and "system.reg" in Wine's own format). A key exists when the
/// store or the prefix holds it; a value the store holds wins over the
/// prefix's. Every change goes to the store: a value written under a key
/// that only the prefix holds makes that key in the store, and deleting a
/// key or value that the prefix holds fails with ERROR_ACCESS_DENIED. Wine
/// allows keys the store's files cannot hold (a name of 256 UTF-16 units or
/// with a line break, paths deeper than 512 levels): they open and read
/// like any other, and writing below them fails with ERROR_ACCESS_DENIED
/// (ERROR_BAD_PATHNAME for a new key beyond 511 levels below its root). A
/// prefix file that cannot be read or used (cut short, not Wine's, too
/// large) is reported once and counts as empty; one with lines that cannot
/// be taken is reported once and read without them.

/// A key handle, 32 bits wide as on Windows.
using HKEY = std::uint32_t;
/// A Windows error code (ERROR_SUCCESS on success).
using LSTATUS = std::int32_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000U;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001U;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002U;
inline constexpr HKEY HKEY_USERS = 0x80000003U;
inline constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004U;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005U;
inline constexpr HKEY HKEY_DYN_DATA = 0x80000006U;

/// Value types.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr std::uint32_t REG_QWORD = 11;

/// Access rights asked for when a key is opened.
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr std::uint32_t KEY_READ = 0x20019;
inline constexpr std::uint32_t KEY_WRITE = 0x20006;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;

/// What RegCreateKeyEx did.
inline constexpr std::uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr std::uint32_t REG_OPENED_EXISTING_KEY = 2;

/// Error codes.
inline constexpr LSTATUS ERROR_SUCCESS = 0;
inline constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
inline constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
inline constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
inline constexpr LSTATUS ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
inline constexpr LSTATUS ERROR_BAD_PATHNAME = 161;
inline constexpr LSTATUS ERROR_MORE_DATA = 234;
inline constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;
inline constexpr LSTATUS ERROR_BADDB = 1009;
inline constexpr LSTATUS ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr LSTATUS ERROR_KEY_DELETED = 1018;

/// Opens an existing key below `hKey` (never creates one). An empty
/// `sottochiave` opens a new handle to `hKey` itself. `opzioni` is ignored.
LSTATUS RegOpenKeyEx(HKEY hKey, std::string_view sottochiave, std::uint32_t opzioni,
                     std::uint32_t accesso, HKEY& risultato) noexcept;

/// Opens a key, creating it and the keys above it when missing.
/// `disposizione`, when given, tells whether the key was created.
LSTATUS RegCreateKeyEx(HKEY hKey, std::string_view sottochiave, std::uint32_t opzioni,
                       std::uint32_t accesso, HKEY& risultato,
                       std::uint32_t* disposizione = nullptr) noexcept;

/// Reads a value ("" is the key's default value). `tipo` and `dimensione`
/// may be null; with `dati` null only type and size are returned; with a
/// buffer too small the result is ERROR_MORE_DATA and `dimensione` holds the
/// size needed. Needs KEY_QUERY_VALUE.
LSTATUS RegQueryValueEx(HKEY hKey, std::string_view nome, std::uint32_t* tipo, void* dati,
                        std::uint32_t* dimensione) noexcept;

/// One entry of RegImpostaTesti: a key below the handle's key and, unless
/// `soloChiave`, one REG_SZ value of it.
struct VoceTestoRegistro {
  std::string_view chiave;
  std::string_view nome;  ///< "" is the key's default value
  std::string_view testo;
  bool soloChiave = false;
};

/// Creates each entry's key (with the keys above it) and writes its value,
/// as RegCreateKeyEx and RegSetValueEx entry by entry would, but in one pass
/// over the root's file under one lock: a file that already holds them all
/// is read once and not written, and a batch is written whole or not at
/// all. A malformed key or value name, or an entry in the autostart key,
/// gives ERROR_INVALID_PARAMETER before anything is written. Needs
/// KEY_CREATE_SUB_KEY and KEY_SET_VALUE.
LSTATUS RegImpostaTesti(HKEY hKey, std::span<const VoceTestoRegistro> voci) noexcept;

/// Writes a value, replacing any value of that name. The key must exist;
/// nothing is ever created by a value write. Needs KEY_SET_VALUE.
LSTATUS RegSetValueEx(HKEY hKey, std::string_view nome, std::uint32_t tipo, const void* dati,
                      std::uint32_t dimensione) noexcept;

/// Deletes a value; ERROR_FILE_NOT_FOUND when it does not exist. Needs
/// KEY_SET_VALUE.
LSTATUS RegDeleteValue(HKEY hKey, std::string_view nome) noexcept;

/// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED otherwise).
LSTATUS RegDeleteKey(HKEY hKey, std::string_view sottochiave) noexcept;

/// Deletes a key with everything below it; with an empty `sottochiave`
/// deletes the values and subkeys of `hKey`, which stays.
LSTATUS RegDeleteTree(HKEY hKey, std::string_view sottochiave) noexcept;

/// The name of the subkey at `indice` (subkeys in alphabetical order without
/// regard to case); ERROR_NO_MORE_ITEMS past the last. Needs
/// KEY_ENUMERATE_SUB_KEYS.
LSTATUS RegEnumKeyEx(HKEY hKey, std::uint32_t indice, std::string& nome) noexcept;

/// The value at `indice` (in the order the values were created); `tipo` and
/// `dati` may be null. ERROR_NO_MORE_ITEMS past the last. Needs
/// KEY_QUERY_VALUE.
LSTATUS RegEnumValue(HKEY hKey, std::uint32_t indice, std::string& nome, std::uint32_t* tipo,
                     std::string* dati) noexcept;

/// Closes a handle. Closing a root handle does nothing and succeeds.
LSTATUS RegCloseKey(HKEY hKey) noexcept;

/// Reads a whole value in one call: its type and its bytes.
LSTATUS LeggiValoreRegistro(HKEY hKey, std::string_view nome, std::uint32_t& tipo,
                            std::string& dati) noexcept;

/// Where a value that RegQueryValueEx reads comes from: the store's own
/// file (or autostart entry), or the registry file of the Wine prefix below
/// the store (`wine` true).
struct OrigineValoreRegistro {
  bool wine = false;
  std::filesystem::path file;
};
LSTATUS OrigineValore(HKEY hKey, std::string_view nome, OrigineValoreRegistro& origine) noexcept;

/// The registry file text of the key `sottochiave` below `hKey` and of
/// everything below it (autostart entries included), ready for the Windows
/// registry editor or for ImportaRegistro. Keys of the Wine prefix that the
/// store's files could not hold (a line break in a name, a name or a depth
/// beyond Windows' limits) are left out; exporting one fails with
/// ERROR_ACCESS_DENIED.
LSTATUS EsportaRegistro(HKEY hKey, std::string_view sottochiave, std::string& testo) noexcept;

/// A line of a registry file that could not be used.
struct ProblemaRegistro {
  std::size_t riga = 0;
  std::string descrizione;
};

/// Applies a registry file (as the Windows registry editor writes it:
/// "[KEY]" creates a key, "[-KEY]" deletes a tree, "name"=- deletes a
/// value). Nothing is applied when any line cannot be used; the lines that
/// cannot are listed in `problemi` and the result is ERROR_BADDB.
LSTATUS ImportaRegistro(std::string_view testo, std::vector<ProblemaRegistro>& problemi) noexcept;

/// The root handle of a root key name ("HKEY_CURRENT_USER"; the short forms
/// HKCR, HKCU, HKLM, HKU and HKCC too), without regard to case; 0 when the
/// name names no root.
[[nodiscard]] HKEY RadiceRegistro(std::string_view nome) noexcept;

/// The full name of a root handle; empty for any other handle.
[[nodiscard]] std::string_view NomeRadiceRegistro(HKEY radice) noexcept;

/// The folder of the registry files: $ORVANE_REGISTRY, else
/// $XDG_CONFIG_HOME/orvane/registry, else ~/.config/orvane/registry. Read at
/// every operation; the variable as CartellaDaVariabile takes it ("~"
/// expanded; a relative path throws ErroreVariabileCartella).
[[nodiscard]] std::filesystem::path CartellaRegistro();

/// The folder of the XDG autostart entries: $XDG_CONFIG_HOME/autostart,
/// else ~/.config/autostart.
[[nodiscard]] std::filesystem::path CartellaAutostart();

/// Receives the report of a registry file that cannot be read or used: the
/// file, the first line in question (0 when none), what is wrong, and the
/// error code operations on it give.
struct SegnalazioneRegistro {
  std::filesystem::path file;
  std::size_t riga = 0;
  std::string descrizione;
  LSTATUS codice = ERROR_SUCCESS;
};
using PortaSegnalazioniRegistro = std::function<void(const SegnalazioneRegistro&)>;

/// Installs where this module reports unusable registry files (the error
/// log, in a program that has one); an empty function restores the default,
/// which writes to standard error. Called outside every registry lock, so
/// the port may show a dialog and use the registry itself. Returns the port
/// it replaces, so that a caller may put it back.
PortaSegnalazioniRegistro ImpostaSegnalazioneRegistro(PortaSegnalazioniRegistro porta);

}  // namespace platform
