#include "updater/PorteQt.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QThread>
#include <QTranslator>
#include <QUrl>
#include <array>
#include <cstdio>
#include <utility>

#include "platform/Browser.h"
#include "platform/Messaggi.h"
#include "platform/PompaMessaggi.h"
#include "quomaro/Host.h"

namespace tervan {
namespace {

QMessageBox::Icon Icona(int stile) {
  switch (stile & 0x70) {
    case platform::vbCritical:
      return QMessageBox::Critical;
    case platform::vbQuestion:
      return QMessageBox::Question;
    case platform::vbExclamation:
      return QMessageBox::Warning;
    case platform::vbInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int MostraMessaggio(const platform::Messaggio& m) {
  // A dialog belongs to the window's thread; from any other thread (a
  // component's registration, say) the message goes to standard error.
  if (QCoreApplication::instance() == nullptr ||
      QThread::currentThread() != QCoreApplication::instance()->thread()) {
    std::fprintf(stderr, "[%s] %s\n", m.titolo.c_str(), m.testo.c_str());
    return platform::RispostaPredefinita(m.stile);
  }
  struct Pulsante {
    QMessageBox::StandardButton qt;
    int risposta;
  };
  // The buttons speak Italian whatever the locale and whether or not Qt's
  // own translation is installed.
  static const std::array<std::pair<QMessageBox::StandardButton, const char*>, 7> kTesti{{
      {QMessageBox::Ok, "OK"},
      {QMessageBox::Cancel, "Annulla"},
      {QMessageBox::Abort, "Interrompi"},
      {QMessageBox::Retry, "Riprova"},
      {QMessageBox::Ignore, "Ignora"},
      {QMessageBox::Yes, "Sì"},
      {QMessageBox::No, "No"},
  }};
  static const std::array<std::array<Pulsante, 3>, 6> kInsiemi{{
      {{{QMessageBox::Ok, platform::vbOK}, {QMessageBox::NoButton, 0}, {QMessageBox::NoButton, 0}}},
      {{{QMessageBox::Ok, platform::vbOK},
        {QMessageBox::Cancel, platform::vbCancel},
        {QMessageBox::NoButton, 0}}},
      {{{QMessageBox::Abort, platform::vbAbort},
        {QMessageBox::Retry, platform::vbRetry},
        {QMessageBox::Ignore, platform::vbIgnore}}},
      {{{QMessageBox::Yes, platform::vbYes},
        {QMessageBox::No, platform::vbNo},
        {QMessageBox::Cancel, platform::vbCancel}}},
      {{{QMessageBox::Yes, platform::vbYes},
        {QMessageBox::No, platform::vbNo},
        {QMessageBox::NoButton, 0}}},
      {{{QMessageBox::Retry, platform::vbRetry},
        {QMessageBox::Cancel, platform::vbCancel},
        {QMessageBox::NoButton, 0}}},
  }};
  const auto insieme = static_cast<std::size_t>(m.stile & 0x7);
  if (insieme >= kInsiemi.size()) return platform::vbOK;

  QMessageBox box(Icona(m.stile), QString::fromStdString(m.titolo),
                  QString::fromStdString(m.testo));
  const int predefinita = platform::RispostaPredefinita(m.stile);
  for (const Pulsante& p : kInsiemi.at(insieme)) {
    if (p.qt == QMessageBox::NoButton) continue;
    QPushButton* pulsante = box.addButton(p.qt);
    for (const auto& [qt, testo] : kTesti)
      if (qt == p.qt) pulsante->setText(QString::fromUtf8(testo));
    if (p.risposta == predefinita) box.setDefaultButton(p.qt);
  }
  const int scelto = box.exec();
  for (const Pulsante& p : kInsiemi.at(insieme)) {
    if (p.qt == scelto) return p.risposta;
  }
  // Closing the dialog answers as its escape button would.
  return insieme == 0 ? platform::vbOK : platform::vbCancel;
}

}  // namespace

bool CaricaTraduzioneQt(QCoreApplication& applicazione) {
  // Italian whatever the session's locale: the context menus of the entry
  // fields and Qt's own dialogs too.
  auto* traduttore = new QTranslator(&applicazione);
  if (!traduttore->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete traduttore;
    return false;
  }
  return QCoreApplication::installTranslator(traduttore);
}

void InstallaPorteQt() {
  const auto pompa = [] { QCoreApplication::processEvents(); };
  platform::ImpostaPortaMessaggi(MostraMessaggio);
  platform::ImpostaPompaMessaggi(pompa);
  // Quomaro keeps its own copies of the ports: its dialogs show through
  // this window too, and its waits keep this window alive.
  quomaro::ImpostaPortaMessaggi(MostraMessaggio);
  quomaro::ImpostaPompaMessaggi(pompa);
  // Pages open through the desktop's own handler, without blocking the window.
  platform::ImpostaPortaBrowser([](const std::string& indirizzo) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(indirizzo)));
  });
}

}  // namespace tervan
