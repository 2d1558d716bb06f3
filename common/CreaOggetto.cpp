#include "common/CreaOggetto.h"

#include <optional>
#include <utility>

#include "common/ChiaveRegistro.h"
#include "common/FabbricaClassi.h"
#include "platform/Libreria.h"

namespace orvane {
namespace {

[[noreturn]] void NonPuoCreare() {
  throw Errore(kErroreCreazioneOggetto, std::string(kTestoErroreCreazioneOggetto));
}

// The default value of HKEY_CLASSES_ROOT\<chiave>, or nothing.
std::optional<std::string> LeggiPredefinito(const std::string& chiave) {
  ChiaveRegistro aperta;
  if (ChiaveRegistro::Apri(platform::HKEY_CLASSES_ROOT, chiave, platform::KEY_QUERY_VALUE,
                           aperta) != platform::ERROR_SUCCESS) {
    return std::nullopt;
  }
  return aperta.LeggiTesto("");
}

// Releases an object made by a library, then the host's hold on that
// library: the object's own release runs code of the library.
struct Rilascio {
  std::shared_ptr<void> oggetto;
  platform::Libreria libreria;

  void operator()(void*) {
    oggetto.reset();
    const platform::Libreria ultima = std::move(libreria);
  }
};

}  // namespace

OggettoCreato CreaOggetto(std::string_view progIdOClsid) {
  // A name or identity with a "\" would reach into other keys.
  if (progIdOClsid.empty() || progIdOClsid.find('\\') != std::string_view::npos) NonPuoCreare();

  std::string clsid(progIdOClsid);
  if (progIdOClsid.front() != '{') {
    auto trovata = LeggiPredefinito(std::string(progIdOClsid) + "\\CLSID");
    if (!trovata || trovata->empty() || trovata->find('\\') != std::string::npos) NonPuoCreare();
    clsid = std::move(*trovata);
  }
  const auto server = LeggiPredefinito("CLSID\\" + clsid + "\\InprocServer32");
  if (!server || server->empty()) NonPuoCreare();

  platform::Libreria libreria = platform::Libreria::Carica(platform::FileComponente(*server));
  const auto ottieni = reinterpret_cast<FunzioneFabbrica>(libreria.Simbolo(kDllGetClassObject));
  if (ottieni == nullptr) NonPuoCreare();
  void* indirizzo = nullptr;
  if (Fallito(ottieni(clsid.c_str(), &indirizzo)) || indirizzo == nullptr) NonPuoCreare();
  auto* fabbrica = static_cast<FabbricaClassi*>(indirizzo);

  std::shared_ptr<void> oggetto;
  if (Fallito(fabbrica->CreaIstanza(oggetto)) || !oggetto) NonPuoCreare();
  const char* tipo = fabbrica->TipoIstanze();

  OggettoCreato creato;
  creato.tipo = tipo == nullptr ? "" : tipo;
  void* const indirizzoOggetto = oggetto.get();
  creato.oggetto =
      std::shared_ptr<void>(indirizzoOggetto, Rilascio{std::move(oggetto), std::move(libreria)});
  return creato;
}

}  // namespace orvane
