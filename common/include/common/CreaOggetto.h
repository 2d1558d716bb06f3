#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

#include "common/Errore.h"

namespace orvane {

/// The number and text of a component that cannot make the object asked for.
inline constexpr long kErroreCreazioneOggetto = 429;
inline constexpr std::string_view kTestoErroreCreazioneOggetto =
    "Il componente ActiveX non può creare l'oggetto";

/// An object made by the factory of its component library.
struct OggettoCreato {
  /// The object. Its library stays loaded until the last copy of this
  /// pointer (or of any pointer made from it) goes.
  std::shared_ptr<void> oggetto;
  /// The object's C++ type, as typeid(T).name() spells it.
  std::string tipo;
};

/// Makes an object of an in-process component through the registry store:
/// `progIdOClsid` is a program identifier ("Quomaro.clsSOAP", looked up as
/// HKEY_CLASSES_ROOT\<ProgID>\CLSID) or a class identity ("{B2FD9FE5-...}");
/// the library is the one named by HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32
/// ("X.dll" and "X.ocx" are looked up as "X.so"), loaded, and asked for the
/// class's factory through its DllGetClassObject.
///
/// Throws orvane::Errore(429, "Il componente ActiveX non può creare
/// l'oggetto") when the name is not registered, the library cannot be
/// loaded or has no factory for the class, or the factory makes no object.
[[nodiscard]] OggettoCreato CreaOggetto(std::string_view progIdOClsid);

/// CreaOggetto for a caller that knows the object's type. Throws
/// orvane::Errore(13, "Tipo non corrispondente") when the component makes
/// objects of another type.
template <class T>
[[nodiscard]] std::shared_ptr<T> CreateObject(std::string_view progIdOrClsid) {
  OggettoCreato creato = CreaOggetto(progIdOrClsid);
  if (creato.tipo != typeid(T).name()) {
    throw Errore(kTipoNonCorrispondente, "Tipo non corrispondente");
  }
  return std::static_pointer_cast<T>(std::move(creato.oggetto));
}

}  // namespace orvane
