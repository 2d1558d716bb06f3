// Test components: self-registration entry points that behave in the ways a
// real component may. Which behaviour is chosen at build time.
#include <chrono>
#include <stdexcept>
#include <thread>

#define ESPORTA extern "C" __attribute__((visibility("default")))

ESPORTA long DllRegisterServer() {
#if defined(COMPONENTE_LENTO)
  std::this_thread::sleep_for(std::chrono::seconds(3));
  return 0;
#elif defined(COMPONENTE_CHE_LANCIA)
  throw std::runtime_error("registrazione fallita");
#else
  return static_cast<long>(0x80004005);  // an error code, returned at once
#endif
}

ESPORTA long DllUnregisterServer() {
  return 0;
}
