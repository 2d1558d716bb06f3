#pragma once

#include "brisko/Esporta.h"

// Brisko is a self-registering control library. Its four entry points,
// found by name in the loaded library, register the tab strip control and
// its property page under HKEY_CLASSES_ROOT of the registry store and hand
// out factories; common/FabbricaClassi.h states the contract and the result
// codes.

extern "C" {

/// Registers the control Brisko.xpVantelTab, the property page Tabs, their
/// interfaces and the type library, served by this library file.
BRISKO_API long DllRegisterServer();

/// Removes what DllRegisterServer wrote.
BRISKO_API long DllUnregisterServer();

/// The factory (an orvane::FabbricaClassi*) of the class identity `clsid`.
BRISKO_API long DllGetClassObject(const char* clsid, void** fabbrica);

/// S_FALSE (1) while objects made by the factories are alive, S_OK (0)
/// otherwise.
BRISKO_API long DllCanUnloadNow();

}  // extern "C"
