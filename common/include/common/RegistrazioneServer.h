#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/FabbricaClassi.h"

namespace orvane {

/// An interface of a component library's type library.
struct InterfacciaServer {
  std::string_view nome;  ///< "_clsSOAP"
  std::string_view iid;   ///< "{A401A6B8-...}"
};

/// A class that a component library serves.
struct ClasseServer {
  std::string_view nome;    ///< "clsSOAP"
  std::string_view progId;  ///< "Quomaro.clsSOAP"; empty: known by its identity only
  std::string_view clsid;   ///< "{B2FD9FE5-...}"
  /// A control that forms host: registered with the control's keys.
  bool controllo = false;
  /// Makes the objects; nullptr while the library cannot make them
  /// (DllGetClassObject then answers CLASS_E_CLASSNOTAVAILABLE).
  FabbricaClassi* fabbrica = nullptr;
};

/// Everything a component library registers: its type library, the
/// interfaces in it and its classes.
struct ServerComponenti {
  std::string_view libreria;  ///< name of the type library, "Quomaro"
  std::string_view libid;     ///< identity of the type library
  std::string_view versione;  ///< version of the type library, "2.0"
  std::span<const ClasseServer> classi;
  std::span<const InterfacciaServer> interfacce;
};

/// One key (and at most one string value of it) that registration writes
/// under HKEY_CLASSES_ROOT.
struct VoceRegistrazione {
  std::string chiave;
  /// Name of the value ("" is the key's default value); no value at all
  /// when `scriviValore` is false (the key alone is the entry).
  std::string nome;
  std::string dati;
  bool scriviValore = true;
  /// The entries of one class, or of the type library with its
  /// interfaces, belong together: see CancellaRegistrazioneServer.
  std::size_t gruppo = 0;
  /// The value that names the module serving the group.
  bool modulo = false;
};

/// The entries that registering `server` from the library file `modulo`
/// writes, keys before their subkeys.
[[nodiscard]] std::vector<VoceRegistrazione> VociRegistrazione(const ServerComponenti& server,
                                                               const std::filesystem::path& modulo);

/// DllRegisterServer: writes the entries of `server` served by `modulo`
/// (the library's own full path) under HKEY_CLASSES_ROOT of the registry
/// store. S_OK, or SELFREG_E_CLASS when an entry cannot be written.
[[nodiscard]] HRESULT RegistraServer(const ServerComponenti& server,
                                     const std::filesystem::path& modulo) noexcept;
/// The same, served by the library file that holds `server` (a table with
/// static storage inside the library, never one of an exported name).
[[nodiscard]] HRESULT RegistraServer(const ServerComponenti& server) noexcept;

/// DllUnregisterServer: removes what RegistraServer writes and nothing else.
/// A value is removed only while it still holds what registration wrote, and
/// a key only once it is empty. A class (or the type library) that another
/// module file has registered since, is left to that module. Entries already
/// gone are no failure. S_OK, or SELFREG_E_CLASS when the store cannot be
/// changed.
[[nodiscard]] HRESULT CancellaRegistrazioneServer(const ServerComponenti& server,
                                                  const std::filesystem::path& modulo) noexcept;
/// The same, for the library file that holds `server`.
[[nodiscard]] HRESULT CancellaRegistrazioneServer(const ServerComponenti& server) noexcept;

/// DllGetClassObject: the factory of the class `clsid` of `server` (class
/// identities compare without regard to case) as a FabbricaClassi* in
/// `*fabbrica`. E_POINTER without a place for the answer, E_INVALIDARG
/// without a class identity, CLASS_E_CLASSNOTAVAILABLE for a class not
/// served or not available.
[[nodiscard]] HRESULT FabbricaServer(const ServerComponenti& server, const char* clsid,
                                     void** fabbrica) noexcept;

/// DllCanUnloadNow: S_FALSE while objects made by this module's factories
/// are alive, S_OK otherwise.
[[nodiscard]] HRESULT ServerScaricabile() noexcept;

}  // namespace orvane
