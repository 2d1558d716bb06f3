#pragma once

#include <cstdint>
#include <memory>

// What a component library and its host agree on: the result codes of the
// four entry points every component library exports, the entry points'
// signatures, and the class factory that DllGetClassObject hands out.
//
//   extern "C" HRESULT DllRegisterServer();
//   extern "C" HRESULT DllUnregisterServer();
//   extern "C" HRESULT DllGetClassObject(const char* clsid, void** fabbrica);
//   extern "C" HRESULT DllCanUnloadNow();

namespace orvane {

/// A result code as the component object model gives it: zero or positive
/// is success, negative is failure.
using HRESULT = long;

/// The result code with the bits of a 32-bit Windows code (failures carry
/// the high bit, so they come out negative).
[[nodiscard]] constexpr HRESULT CodiceRisultato(std::uint32_t bit) noexcept {
  return static_cast<std::int32_t>(bit);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = CodiceRisultato(0x80004005U);
inline constexpr HRESULT E_POINTER = CodiceRisultato(0x80004003U);
inline constexpr HRESULT E_OUTOFMEMORY = CodiceRisultato(0x8007000EU);
inline constexpr HRESULT E_INVALIDARG = CodiceRisultato(0x80070057U);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = CodiceRisultato(0x80040111U);
inline constexpr HRESULT SELFREG_E_CLASS = CodiceRisultato(0x80040201U);

[[nodiscard]] constexpr bool Fallito(HRESULT codice) noexcept {
  return codice < 0;
}

/// Makes the objects of one class of a component library. A factory
/// belongs to its library: it stays valid while the library is loaded and
/// is never deleted by the host. Every object it makes keeps running code of
/// the library until its last reference goes, so the host keeps the library
/// loaded at least that long.
class FabbricaClassi {
 public:
  FabbricaClassi(const FabbricaClassi&) = delete;
  FabbricaClassi& operator=(const FabbricaClassi&) = delete;

  /// A new object of the class in `oggetto` and S_OK; otherwise a failure
  /// code and `oggetto` empty. Never throws.
  virtual HRESULT CreaIstanza(std::shared_ptr<void>& oggetto) noexcept = 0;

  /// The C++ type of the objects, as typeid(T).name() spells it, so that a
  /// host can make sure it takes them for what they are.
  [[nodiscard]] virtual const char* TipoIstanze() const noexcept = 0;

 protected:
  FabbricaClassi() = default;
  virtual ~FabbricaClassi() = default;
};

/// DllRegisterServer, DllUnregisterServer and DllCanUnloadNow.
using FunzioneServer = HRESULT (*)();
/// DllGetClassObject: the factory of the class identity `clsid` (in its
/// registry form "{XXXXXXXX-...}", without regard to case) as a
/// FabbricaClassi* in `*fabbrica`; CLASS_E_CLASSNOTAVAILABLE for a class the
/// library does not serve.
using FunzioneFabbrica = HRESULT (*)(const char* clsid, void** fabbrica);

inline constexpr const char* kDllRegisterServer = "DllRegisterServer";
inline constexpr const char* kDllUnregisterServer = "DllUnregisterServer";
inline constexpr const char* kDllGetClassObject = "DllGetClassObject";
inline constexpr const char* kDllCanUnloadNow = "DllCanUnloadNow";

}  // namespace orvane
