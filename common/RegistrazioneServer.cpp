#include "common/RegistrazioneServer.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "common/ChiaveRegistro.h"
#include "common/FabbricaDi.h"
#include "common/Routine.h"
#include "platform/Cartelle.h"
#include "platform/TestoUtf8.h"

namespace orvane {
namespace {

using platform::ERROR_FILE_NOT_FOUND;
using platform::ERROR_SUCCESS;
using platform::HKEY_CLASSES_ROOT;

// Components that forms host as controls carry these status bits: recompose
// on resize, no link inside, inside-out, active when visible, client site
// set first.
constexpr std::string_view kStatoControllo = "131473";
// The component category of controls.
constexpr std::string_view kCategoriaControlli = "{40FC6ED4-2438-11CF-A3DB-080036F12502}";
// Objects of in-process components live in their creator's apartment.
constexpr std::string_view kModelloThread = "Apartment";

std::string Unisci(std::string_view a, std::string_view b) {
  std::string r(a);
  r += '\\';
  r += b;
  return r;
}

std::size_t Profondita(const std::string& chiave) {
  return static_cast<std::size_t>(std::count(chiave.begin(), chiave.end(), '\\'));
}

// The keys of the entries and every key above them.
std::vector<std::string> ChiaviDaSvuotare(const std::vector<const VoceRegistrazione*>& voci) {
  std::set<std::string> chiavi;
  for (const VoceRegistrazione* v : voci) {
    for (std::size_t barra = v->chiave.find('\\'); barra != std::string::npos;
         barra = v->chiave.find('\\', barra + 1)) {
      chiavi.insert(v->chiave.substr(0, barra));
    }
    chiavi.insert(v->chiave);
  }
  std::vector<std::string> ordinate(chiavi.begin(), chiavi.end());
  // Subkeys first, so that a parent can be empty when its turn comes.
  std::stable_sort(
      ordinate.begin(), ordinate.end(),
      [](const std::string& a, const std::string& b) { return Profondita(a) > Profondita(b); });
  return ordinate;
}

// The library file that holds the table: the address of a hidden object,
// never of an exported name, which another library could have bound.
std::filesystem::path ModuloDi(const ServerComponenti& server) {
  std::filesystem::path modulo = platform::PercorsoModulo(&server);
  if (modulo.empty()) throw std::runtime_error("tabella di registrazione fuori da ogni modulo");
  return modulo;
}

}  // namespace

std::vector<VoceRegistrazione> VociRegistrazione(const ServerComponenti& server,
                                                 const std::filesystem::path& modulo) {
  const std::string percorso = modulo.string();
  std::vector<VoceRegistrazione> voci;
  const auto voce = [&](std::string chiave, std::string_view nome, std::string_view dati,
                        std::size_t gruppo, bool diModulo = false) {
    voci.push_back(
        {std::move(chiave), std::string(nome), std::string(dati), true, gruppo, diModulo});
  };
  const auto soloChiave = [&](std::string chiave, std::size_t gruppo) {
    voci.push_back({std::move(chiave), "", "", false, gruppo, false});
  };

  // Group 0: the type library and its interfaces.
  const std::string libreria = Unisci(Unisci("TypeLib", server.libid), server.versione);
  voce(libreria, "", server.libreria, 0);
  voce(Unisci(libreria, "0\\win32"), "", percorso, 0, true);
  voce(Unisci(libreria, "FLAGS"), "", "0", 0);
  voce(Unisci(libreria, "HELPDIR"), "", modulo.parent_path().string(), 0);
  for (const InterfacciaServer& i : server.interfacce) {
    const std::string chiave = Unisci("Interface", i.iid);
    voce(chiave, "", i.nome, 0);
    voce(Unisci(chiave, "TypeLib"), "", server.libid, 0);
    voce(Unisci(chiave, "TypeLib"), "Version", server.versione, 0);
  }

  // One group for each class.
  std::size_t gruppo = 0;
  for (const ClasseServer& c : server.classi) {
    ++gruppo;
    const std::string chiave = Unisci("CLSID", c.clsid);
    voce(chiave, "", c.progId.empty() ? c.nome : c.progId, gruppo);
    voce(Unisci(chiave, "InprocServer32"), "", percorso, gruppo, true);
    voce(Unisci(chiave, "InprocServer32"), "ThreadingModel", kModelloThread, gruppo);
    if (!c.progId.empty()) voce(Unisci(chiave, "ProgID"), "", c.progId, gruppo);
    voce(Unisci(chiave, "TypeLib"), "", server.libid, gruppo);
    voce(Unisci(chiave, "VERSION"), "", server.versione, gruppo);
    if (c.controllo) {
      soloChiave(Unisci(chiave, "Control"), gruppo);
      voce(Unisci(chiave, "MiscStatus"), "", "0", gruppo);
      voce(Unisci(chiave, "MiscStatus\\1"), "", kStatoControllo, gruppo);
      soloChiave(Unisci(Unisci(chiave, "Implemented Categories"), kCategoriaControlli), gruppo);
    }
    if (!c.progId.empty()) {
      voce(std::string(c.progId), "", c.progId, gruppo);
      voce(Unisci(c.progId, "CLSID"), "", c.clsid, gruppo);
    }
  }
  return voci;
}

HRESULT RegistraServer(const ServerComponenti& server,
                       const std::filesystem::path& modulo) noexcept {
  bool riuscita = false;
  // Registration reports through its result alone: it runs on a worker
  // thread of whoever registers the library, where no dialog may appear.
  // Every start registers again what is already there: one pass over the
  // store reads it once and writes only where something differs.
  Tacitamente([&] {
    const std::vector<VoceRegistrazione> voci = VociRegistrazione(server, modulo);
    std::vector<platform::VoceTestoRegistro> testi;
    testi.reserve(voci.size());
    for (const VoceRegistrazione& v : voci)
      testi.push_back({v.chiave, v.nome, v.dati, !v.scriviValore});
    riuscita = platform::RegImpostaTesti(HKEY_CLASSES_ROOT, testi) == ERROR_SUCCESS;
  });
  return riuscita ? S_OK : SELFREG_E_CLASS;
}

HRESULT CancellaRegistrazioneServer(const ServerComponenti& server,
                                    const std::filesystem::path& modulo) noexcept {
  bool riuscita = true;
  const bool completata = Tacitamente([&] {
    const std::vector<VoceRegistrazione> voci = VociRegistrazione(server, modulo);

    // Groups now served by another module file stay as they are.
    std::set<std::size_t> altrui;
    for (const VoceRegistrazione& v : voci) {
      if (!v.modulo) continue;
      ChiaveRegistro chiave;
      if (ChiaveRegistro::Apri(HKEY_CLASSES_ROOT, v.chiave, platform::KEY_READ, chiave) !=
          ERROR_SUCCESS) {
        continue;
      }
      const auto attuale = chiave.LeggiTesto(v.nome);
      if (attuale && *attuale != v.dati) altrui.insert(v.gruppo);
    }
    std::vector<const VoceRegistrazione*> nostre;
    for (const VoceRegistrazione& v : voci) {
      if (!altrui.contains(v.gruppo)) nostre.push_back(&v);
    }

    for (auto it = nostre.rbegin(); it != nostre.rend(); ++it) {
      const VoceRegistrazione& v = **it;
      if (!v.scriviValore) continue;
      ChiaveRegistro chiave;
      const auto aperta =
          ChiaveRegistro::Apri(HKEY_CLASSES_ROOT, v.chiave, platform::KEY_ALL_ACCESS, chiave);
      if (aperta == ERROR_FILE_NOT_FOUND) continue;
      if (aperta != ERROR_SUCCESS) {
        riuscita = false;
        continue;
      }
      // A value that someone changed since is theirs now.
      if (chiave.LeggiTesto(v.nome) != v.dati) continue;
      if (platform::RegDeleteValue(chiave.H(), v.nome) != ERROR_SUCCESS) riuscita = false;
    }

    for (const std::string& nome : ChiaviDaSvuotare(nostre)) {
      bool vuota = false;
      {
        ChiaveRegistro chiave;
        const auto aperta =
            ChiaveRegistro::Apri(HKEY_CLASSES_ROOT, nome, platform::KEY_READ, chiave);
        if (aperta == ERROR_FILE_NOT_FOUND) continue;
        if (aperta != ERROR_SUCCESS) {
          riuscita = false;
          continue;
        }
        vuota = chiave.Vuota();
      }
      if (vuota && platform::RegDeleteKey(HKEY_CLASSES_ROOT, nome) != ERROR_SUCCESS) {
        riuscita = false;
      }
    }
  });
  return completata && riuscita ? S_OK : SELFREG_E_CLASS;
}

HRESULT RegistraServer(const ServerComponenti& server) noexcept {
  HRESULT esito = SELFREG_E_CLASS;
  Tacitamente([&] { esito = RegistraServer(server, ModuloDi(server)); });
  return esito;
}

HRESULT CancellaRegistrazioneServer(const ServerComponenti& server) noexcept {
  HRESULT esito = SELFREG_E_CLASS;
  Tacitamente([&] { esito = CancellaRegistrazioneServer(server, ModuloDi(server)); });
  return esito;
}

HRESULT FabbricaServer(const ServerComponenti& server, const char* clsid,
                       void** fabbrica) noexcept {
  if (fabbrica == nullptr) return E_POINTER;
  *fabbrica = nullptr;
  if (clsid == nullptr) return E_INVALIDARG;
  HRESULT esito = CLASS_E_CLASSNOTAVAILABLE;
  Tacitamente([&] {
    const auto classe = std::find_if(
        server.classi.begin(), server.classi.end(),
        [&](const ClasseServer& c) { return platform::UgualiSenzaMaiuscoleUtf8(c.clsid, clsid); });
    if (classe == server.classi.end() || classe->fabbrica == nullptr) return;
    // The host takes the pointer back as the interface, never as the class.
    *fabbrica = static_cast<void*>(static_cast<FabbricaClassi*>(classe->fabbrica));
    esito = S_OK;
  });
  return esito;
}

HRESULT ServerScaricabile() noexcept {
  return OggettiInVita().load() == 0 ? S_OK : S_FALSE;
}

}  // namespace orvane
