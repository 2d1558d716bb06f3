#pragma once

#include "quomaro/Esporta.h"

// Quomaro is an in-process component server. Its four entry points, found
// by name in the loaded library, register its classes under
// HKEY_CLASSES_ROOT of the registry store and hand out their factories;
// common/FabbricaClassi.h states the contract and the result codes.

extern "C" {

/// Registers Quomaro.clsCA, Quomaro.clsSOAP and Quomaro.clsDownload, their
/// interfaces and the type library, served by this library file.
QUOMARO_API long DllRegisterServer();

/// Removes what DllRegisterServer wrote.
QUOMARO_API long DllUnregisterServer();

/// The factory (an orvane::FabbricaClassi*) of the class identity `clsid`.
QUOMARO_API long DllGetClassObject(const char* clsid, void** fabbrica);

/// S_FALSE (1) while objects made by the factories are alive, S_OK (0)
/// otherwise.
QUOMARO_API long DllCanUnloadNow();

}  // extern "C"
