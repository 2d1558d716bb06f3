// The tab strip's state-file reader: any bytes must be read (or refused as
// no state) without a crash; every key read as text, written back and read again gives the same
// text; numbers and fonts either read or fail with the control's error.
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "brisko/ErroreControllo.h"
#include "brisko/PropertyBagIni.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication applicazione(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
  const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
  try {
    (void)brisko::PropertyBagIni::DaTestoDiStato(testo);
  } catch (const brisko::ErroreControllo&) {
  }
  auto bag = brisko::PropertyBagIni::DaTesto(testo);
  brisko::PropertyBagIni copia(std::filesystem::path("copia.ini"));
  for (const char* chiave : {"TabHeight", "BackColor", "Font", "NumberOfTabs", "TabText1"}) {
    try {
      (void)bag.ReadProperty(chiave, std::int32_t{0});
    } catch (const brisko::ErroreControllo&) {
    }
    try {
      (void)bag.ReadProperty(chiave, QFont());
    } catch (const brisko::ErroreControllo&) {
    }
    const brisko::Valore letto = bag.ReadProperty(chiave, std::string("\x01"));
    copia.WriteProperty(chiave, letto);
  }
  auto riletta = brisko::PropertyBagIni::DaTesto(copia.Testo());
  for (const char* chiave : {"TabHeight", "BackColor", "Font", "NumberOfTabs", "TabText1"}) {
    if (riletta.ReadProperty(chiave, std::string("\x01")) !=
        copia.ReadProperty(chiave, std::string("\x01"))) {
      std::abort();
    }
  }
  return 0;
}
