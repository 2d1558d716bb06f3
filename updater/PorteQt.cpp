#include "updater/PorteQt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QThread>
#include <QTranslator>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>

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
  // The buttons speak Italian whatever the locale and whether or not Qt's
  // own translation is installed.
  struct Pulsante {
    QMessageBox::StandardButton qt;
    int risposta;
    const char* testo;
  };
  constexpr Pulsante kNessuno{QMessageBox::NoButton, 0, nullptr};
  constexpr Pulsante kOk{QMessageBox::Ok, platform::vbOK, "OK"};
  constexpr Pulsante kAnnulla{QMessageBox::Cancel, platform::vbCancel, "Annulla"};
  constexpr Pulsante kSi{QMessageBox::Yes, platform::vbYes, "Sì"};
  constexpr Pulsante kNo{QMessageBox::No, platform::vbNo, "No"};
  constexpr Pulsante kRiprova{QMessageBox::Retry, platform::vbRetry, "Riprova"};
  static constexpr std::array<std::array<Pulsante, 3>, 6> kInsiemi{{
      {kOk, kNessuno, kNessuno},
      {kOk, kAnnulla, kNessuno},
      {Pulsante{QMessageBox::Abort, platform::vbAbort, "Interrompi"}, kRiprova,
       Pulsante{QMessageBox::Ignore, platform::vbIgnore, "Ignora"}},
      {kSi, kNo, kAnnulla},
      {kSi, kNo, kNessuno},
      {kRiprova, kAnnulla, kNessuno},
  }};
  const auto insieme = static_cast<std::size_t>(m.stile & 0x7);
  if (insieme >= kInsiemi.size()) return platform::vbOK;

  QMessageBox box(Icona(m.stile), QString::fromStdString(m.titolo),
                  QString::fromStdString(m.testo));
  // A box's text may carry a setting of the machine or what the service
  // sent: shown as the text it is, never read as markup (bold, pictures,
  // links that open a browser).
  box.setTextFormat(Qt::PlainText);
  const int predefinita = platform::RispostaPredefinita(m.stile);
  for (const Pulsante& p : kInsiemi.at(insieme)) {
    if (p.qt == QMessageBox::NoButton) continue;
    box.addButton(p.qt)->setText(QString::fromUtf8(p.testo));
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
  auto traduttore = std::make_unique<QTranslator>();
  if (!traduttore->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  traduttore->setParent(&applicazione);
  return QCoreApplication::installTranslator(traduttore.release());
}

void InstallaPorteQt() {
  const auto pompa = [] { QCoreApplication::processEvents(); };
  platform::ImpostaPortaMessaggi(MostraMessaggio);
  platform::ImpostaPompaMessaggi(pompa);
  // Quomaro keeps its own copies of the ports: its dialogs show through
  // this window too, and its waits keep this window alive.
  quomaro::ImpostaPortaMessaggi(MostraMessaggio);
  quomaro::ImpostaPompaMessaggi(pompa);
  // Pages open through the desktop's own handler. Not through Qt's launcher:
  // the browser would inherit the signal Tervan ignores and every descriptor
  // libraries leave open on exec, and keep them for as long as it runs. The
  // handler is given a moment to say it found no browser, which it does at
  // once, so that the user is told; one that runs the browser in the
  // foreground is left to it after that moment, and counts as started.
  platform::ImpostaPortaBrowser([](const std::string& indirizzo) {
    return platform::ApriConXdgOpen(indirizzo, std::chrono::seconds(2));
  });
}

}  // namespace tervan
