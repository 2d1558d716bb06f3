// The tab strip as a host window uses it: shown in schede.md.
#include "Esempi.h"

#include <QObject>
#include <QWidget>
#include <cstdint>

#include "brisko/PropertyBagIni.h"
#include "brisko/xpVantelTab.h"

namespace esempi {

namespace {
std::int32_t paginaMostrata = 0;

void MostraPagina(std::int32_t scheda) {
  paginaMostrata = scheda;
}
}  // namespace

std::int32_t PaginaMostrata() {
  return paginaMostrata;
}

brisko::xpVantelTab* OspitaSchede(QWidget* finestra) {
  // [esempio ospite]
  auto* tab = new brisko::xpVantelTab(finestra);
  tab->setObjectName("xpVantelTab1");
  tab->setGeometry(8, 8, 600, 300);
  auto stato = brisko::PropertyBagIni::DaTesto(
      "[xpVantelTab]\nTabHeight=22\nNumberOfTabs=2\n"
      "TabWidth1=75\nTabText1=&Principale\nTabWidth2=75\nTabText2=&Note\n");
  tab->ReadProperties(stato);  // or: InitProperties(), then SetTabCaption(1, ...) etc.
  QObject::connect(tab, &brisko::xpVantelTab::TabPressed, finestra,
                   [tab](std::int16_t) { MostraPagina(tab->SelectedTab()); });
  // [fine esempio]
  return tab;
}

void SalvaSchede(const brisko::xpVantelTab& tab, const std::filesystem::path& file) {
  // [esempio salva]
  brisko::PropertyBagIni stato(file);
  tab.WriteProperties(stato);
  stato.Salva();
  // [fine esempio]
}

}  // namespace esempi
