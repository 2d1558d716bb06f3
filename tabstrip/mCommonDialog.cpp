#include "brisko/mCommonDialog.h"

#include <QFileDialog>
#include <QStringList>
#include <utility>

namespace brisko::mCommonDialog {
namespace {

QString FinestraQt(QWidget* proprietario, const QString& titolo, const QString& filtroQt,
                   const QString& suffisso) {
  QFileDialog dialogo(proprietario, titolo, QString(), filtroQt);
  dialogo.setFileMode(QFileDialog::ExistingFile);
  dialogo.setAcceptMode(QFileDialog::AcceptOpen);
  dialogo.setDefaultSuffix(suffisso);
  if (dialogo.exec() != QDialog::Accepted || dialogo.selectedFiles().isEmpty()) {
    return {};
  }
  return dialogo.selectedFiles().constFirst();
}

Finestra& Attuale() {
  static Finestra finestra = FinestraQt;
  return finestra;
}

}  // namespace

QString FiltroQt(const QString& filtro) {
  const QStringList parti = filtro.split(u'|');
  QStringList righe;
  for (qsizetype i = 0; i + 1 < parti.size(); i += 2) {
    QStringList modelli = parti[i + 1].split(u';', Qt::SkipEmptyParts);
    for (QString& modello : modelli) {
      modello = modello.trimmed();
    }
    righe << parti[i] + " (" + modelli.join(u' ') + ")";
  }
  return righe.join(";;");
}

QString ShowOpen(QWidget* proprietario, const QString& titolo, const QString& filtro,
                 const QString& estensione) {
  // A wildcard extension names no suffix to add.
  QString suffisso = estensione.trimmed();
  if (suffisso.startsWith("*.")) suffisso = suffisso.mid(2);
  if (suffisso.startsWith(u'.')) suffisso = suffisso.mid(1);
  if (suffisso.contains(u'*') || suffisso.contains(u'?')) suffisso.clear();
  return Attuale()(proprietario, titolo, FiltroQt(filtro), suffisso);
}

Finestra ImpostaFinestra(Finestra finestra) {
  Finestra precedente = std::move(Attuale());
  Attuale() = finestra ? std::move(finestra) : Finestra(FinestraQt);
  return precedente;
}

}  // namespace brisko::mCommonDialog
