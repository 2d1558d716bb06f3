// The tab strip's stored state and its late-bound interface.
#include <exception>
#include <limits>

#include "brisko/ErroreControllo.h"
#include "brisko/xpVantelTab.h"
#include "mXPVantel.h"

namespace brisko {
namespace {

// The most tabs a stored state may hold: far more than any strip can show,
// and few enough that a hostile count cannot exhaust memory or stall every
// paint pass. A larger count is not read (the state has no tabs).
constexpr std::int32_t kMassimoSchede = 100000;

// Runs one step of loading; its failure leaves the value as it was.
template <class Passo>
void Ignorando(Passo&& passo) {
  try {
    passo();
  } catch (const std::exception&) {
  }
}

std::int32_t Intero(const Valore& valore) {
  if (const auto* intero = std::get_if<std::int32_t>(&valore)) {
    return *intero;
  }
  if (const auto* reale = std::get_if<float>(&valore)) {
    // Rounded as the host converts a number to a whole one: to the nearest,
    // halves to the even neighbour; beyond the 32-bit range, overflow.
    return mXPVantel::CLng(static_cast<double>(*reale));
  }
  throw ErroreControllo(ErroreControllo::kTipoNonCorrispondente);
}

OLE_COLOR Colore(const Valore& valore) {
  return static_cast<OLE_COLOR>(Intero(valore));
}

Valore DaColore(OLE_COLOR colore) {
  return static_cast<std::int32_t>(colore);
}

std::string Testo(const Valore& valore) {
  if (const auto* testo = std::get_if<std::string>(&valore)) {
    return *testo;
  }
  if (const auto* intero = std::get_if<std::int32_t>(&valore)) {
    return std::to_string(*intero);
  }
  throw ErroreControllo(ErroreControllo::kTipoNonCorrispondente);
}

std::shared_ptr<Immagine> Figura(const Valore& valore) {
  if (const auto* figura = std::get_if<std::shared_ptr<Immagine>>(&valore)) {
    return *figura;
  }
  if (std::holds_alternative<std::monostate>(valore)) {
    return {};
  }
  throw ErroreControllo(ErroreControllo::kTipoNonCorrispondente);
}

QFont Carattere(const Valore& valore) {
  if (const auto* carattere = std::get_if<QFont>(&valore)) {
    return *carattere;
  }
  throw ErroreControllo(ErroreControllo::kTipoNonCorrispondente);
}

}  // namespace

void xpVantelTab::ReadProperties(PropertyBag& bag) {
  // A value that cannot be read counts as missing.
  const auto leggi = [&bag](const std::string& nome, const Valore& predefinito) {
    try {
      return bag.ReadProperty(nome, predefinito);
    } catch (const std::exception&) {
      return predefinito;
    }
  };
  Ignorando([&] {
    SetAlignment(static_cast<eTabAlignment>(
        Intero(leggi("Alignment", static_cast<std::int32_t>(alignment_)))));
  });
  Ignorando([&] { SetTabHeight(Intero(leggi("TabHeight", 25))); });
  Ignorando([&] { SetBackColor(Colore(leggi("BackColor", DaColore(RGB(240, 240, 224))))); });
  Ignorando([&] { SetForeColor(Colore(leggi("ForeColor", DaColore(0x80000012U)))); });
  Ignorando(
      [&] { SetForeColorActive(Colore(leggi("ForeColorActive", DaColore(RGB(56, 80, 152))))); });
  Ignorando([&] { SetForeColorHot(Colore(leggi("ForeColorHot", DaColore(RGB(0, 0, 255))))); });
  Ignorando([&] { SetFrameColor(Colore(leggi("FrameColor", DaColore(RGB(152, 160, 160))))); });
  Ignorando([&] { SetMaskColor(Colore(leggi("MaskColor", DaColore(RGB(255, 0, 255))))); });
  Ignorando([&] { SetSelectedTab(Intero(leggi("SelectedTab", 1))); });
  Ignorando([&] { setFont(Carattere(leggi("Font", font()))); });
  Ignorando([&] {
    const std::int32_t conteggio = Intero(leggi("NumberOfTabs", 0));
    if (conteggio < 0 || conteggio > kMassimoSchede) {
      throw ErroreControllo(ErroreControllo::kIndiceFuoriIntervallo);
    }
    numberOfTabs_ = conteggio;
  });
  tabs_.clear();
  tabs_.resize(static_cast<std::size_t>(numberOfTabs_));
  for (std::int32_t n = 1; n <= numberOfTabs_; ++n) {
    cTabs& scheda = Scheda(n);
    const std::string numero = std::to_string(n);
    Ignorando([&] { scheda.TabWidth = Intero(leggi("TabWidth" + numero, 0)); });
    Ignorando([&] { scheda.TabCaption = Testo(leggi("TabText" + numero, std::string())); });
    Ignorando([&] {
      scheda.TabPicture = Figura(leggi("TabPicture" + numero, std::shared_ptr<Immagine>()));
    });
  }
  // A stored selection beyond the stored tabs would make every paint pass
  // fail; it is taken as the last tab, as after DeleteTab.
  RiportaSchedeNellIntervallo();
  SetTabAccessKeys();
}

void xpVantelTab::WriteProperties(PropertyBag& bag) const {
  bag.WriteProperty("Alignment", static_cast<std::int32_t>(alignment_));
  bag.WriteProperty("TabHeight", tabHeight_);
  bag.WriteProperty("BackColor", DaColore(backColor_));
  bag.WriteProperty("ForeColor", DaColore(foreColor_));
  bag.WriteProperty("ForeColorActive", DaColore(foreColorActive_));
  bag.WriteProperty("ForeColorHot", DaColore(foreColorHot_));
  bag.WriteProperty("FrameColor", DaColore(frameColor_));
  bag.WriteProperty("MaskColor", DaColore(maskColor_));
  bag.WriteProperty("SelectedTab", selectedTab_);
  bag.WriteProperty("Font", font());
  bag.WriteProperty("NumberOfTabs", numberOfTabs_);
  for (std::int32_t n = 1; n <= numberOfTabs_; ++n) {
    const cTabs& scheda = Scheda(n);
    const std::string numero = std::to_string(n);
    bag.WriteProperty("TabWidth" + numero, scheda.TabWidth);
    bag.WriteProperty("TabText" + numero, scheda.TabCaption);
    bag.WriteProperty("TabPicture" + numero, scheda.TabPicture, std::shared_ptr<Immagine>());
  }
}

Valore xpVantelTab::Invoke(std::int32_t dispid, TipoInvocazione tipo,
                           std::vector<Valore>& argomenti) {
  const auto argomento = [&argomenti](std::size_t i) -> Valore& {
    if (i >= argomenti.size()) {
      throw ErroreControllo(ErroreControllo::kArgomentoObbligatorio);
    }
    return argomenti[i];
  };
  const auto facoltativo = [&argomenti](std::size_t i) -> const Valore* {
    return i < argomenti.size() && !std::holds_alternative<std::monostate>(argomenti[i])
               ? &argomenti[i]
               : nullptr;
  };
  const bool leggi = tipo == TipoInvocazione::LeggiProprieta;
  const bool scrivi = tipo == TipoInvocazione::ScriviProprieta;
  // A property put takes its value last, after any index.
  const auto nuovo = [&]() -> Valore& {
    return argomento(argomenti.empty() ? 0 : argomenti.size() - 1);
  };
  // A property of one tab takes its index first; a put needs the value after
  // it, so a lone argument is the value and the index is missing.
  const auto indice = [&]() -> std::int32_t {
    if (scrivi && argomenti.size() < 2) {
      throw ErroreControllo(ErroreControllo::kArgomentoObbligatorio);
    }
    return Intero(argomento(0));
  };
  const auto proprieta = [&](auto getter, auto setter) -> Valore {
    if (leggi) {
      return getter();
    }
    if (!scrivi) {
      throw ErroreControllo(ErroreControllo::kMembroNonSupportato);
    }
    setter(nuovo());
    return {};
  };

  switch (static_cast<std::uint32_t>(dispid)) {
    case 0x6803000DU:
      return proprieta([&] { return Valore(tabHeight_); },
                       [&](const Valore& v) { SetTabHeight(Intero(v)); });
    case 0x6803000CU:
      return proprieta([&] { return DaColore(backColor_); },
                       [&](const Valore& v) { SetBackColor(Colore(v)); });
    case 0x6803000BU:
      return proprieta([&] { return DaColore(foreColor_); },
                       [&](const Valore& v) { SetForeColor(Colore(v)); });
    case 0x6803000AU:
      return proprieta([&] { return DaColore(foreColorActive_); },
                       [&](const Valore& v) { SetForeColorActive(Colore(v)); });
    case 0x68030009U:
      return proprieta([&] { return DaColore(frameColor_); },
                       [&](const Valore& v) { SetFrameColor(Colore(v)); });
    case 0x68030008U:
      return proprieta([&] { return Valore(TabWidth(indice())); },
                       [&](const Valore& v) { SetTabWidth(indice(), Intero(v)); });
    case 0x68030007U:
      return proprieta([&] { return Valore(TabCaption(indice())); },
                       [&](const Valore& v) { SetTabCaption(indice(), Testo(v)); });
    case 0x68030006U:
      return proprieta([&] { return Valore(TabPicture(indice())); },
                       [&](const Valore& v) { SetTabPicture(indice(), Figura(v)); });
    case 0x68030005U:
      return proprieta([&] { return Valore(font()); },
                       [&](const Valore& v) { SetFont(Carattere(v)); });
    case 0x68030004U:
      return proprieta([&] { return DaColore(maskColor_); },
                       [&](const Valore& v) { SetMaskColor(Colore(v)); });
    case 0x68030003U:
      if (!leggi) {
        throw ErroreControllo(ErroreControllo::kMembroNonSupportato);
      }
      return numberOfTabs_;
    case 0x68030002U:
      return proprieta(
          [&] { return Valore(static_cast<std::int32_t>(alignment_)); },
          [&](const Valore& v) { SetAlignment(static_cast<eTabAlignment>(Intero(v))); });
    case 0x68030001U:
      return proprieta([&] { return DaColore(foreColorHot_); },
                       [&](const Valore& v) { SetForeColorHot(Colore(v)); });
    case 0x68030000U:
      return proprieta([&] { return Valore(selectedTab_); },
                       [&](const Valore& v) { SetSelectedTab(Intero(v)); });
    default:
      break;
  }

  if (tipo != TipoInvocazione::Metodo) {
    throw ErroreControllo(ErroreControllo::kMembroNonSupportato);
  }
  switch (static_cast<std::uint32_t>(dispid)) {
    case 0x6003001AU:
      DrawTab();
      return {};
    case 0x6003001BU:
      DrawTabTop();
      return {};
    case 0x6003001CU: {
      const std::int32_t larghezza = facoltativo(0) ? Intero(*facoltativo(0)) : 60;
      std::string testo = facoltativo(1) ? Testo(*facoltativo(1)) : std::string();
      std::shared_ptr<Immagine> figura = facoltativo(2) ? Figura(*facoltativo(2)) : nullptr;
      const std::int32_t conteggio = AddTab(larghezza, testo, std::move(figura));
      if (argomenti.size() > 1) {
        argomenti[1] = testo;
      }
      return conteggio;
    }
    case 0x6003001DU:
      DeleteTab();
      return {};
    case 0x6003001EU: {
      float x = 0;
      float y = 0;
      const std::shared_ptr<Immagine> figura = Figura(argomento(0));
      GetPictureSize(figura.get(), x, y);
      argomento(1) = x;
      argomento(2) = y;
      return {};
    }
    case 0x6003001FU:
      SetTabAccessKeys();
      return {};
    case 0x60030020U: {
      const std::int32_t codice = Intero(argomento(0));
      if (codice < std::numeric_limits<std::int16_t>::min() ||
          codice > std::numeric_limits<std::int16_t>::max()) {
        throw ErroreControllo(ErroreControllo::kOverflow);
      }
      return GetTabAccessKey(static_cast<std::int16_t>(codice));
    }
    default:
      throw ErroreControllo(ErroreControllo::kMembroNonSupportato);
  }
}

}  // namespace brisko
