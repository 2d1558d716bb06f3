#include "updater/frmTervan.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <array>
#include <filesystem>
#include <initializer_list>
#include <system_error>

#include "brisko/PropertyBagIni.h"
#include "brisko/xpVantelTab.h"
#include "common/Errore.h"
#include "common/Routine.h"
#include "common/Versione.h"
#include "common/basFunzioniRegistro.h"
#include "platform/Cartelle.h"
#include "platform/Messaggi.h"
#include "platform/Percorsi.h"
#include "platform/RigaDiComando.h"
#include "platform/TestoSql.h"
#include "platform/TestoUtf8.h"
#include "quomaro/Configurazione.h"
#include "updater/ProgrammiOrvane.h"
#include "updater/basRegSvr.h"
#include "updater/basTervan.h"

namespace tervan {
namespace {

// The stored state of the tab strip xpVantelTab1: one tab "Principale", 75
// pixels wide, tabs 22 pixels high, in the button-face colour.
constexpr std::string_view kStatoSchede =
    "[xpVantelTab]\nBackColor=-2147483633\nTabHeight=22\nNumberOfTabs=1\n"
    "TabWidth1=75\nTabText1=Principale\n";
// Every row a pass writes starts again from this check interval.
constexpr std::string_view kFrequenzaIniziale = "00:00:30";
// The stored interval of each entry of Combo1, in the list's order:
// "15 minuti", "30 minuti", "1 ora".
constexpr std::array<std::string_view, 3> kFrequenze{"00:00:15", "00:00:30", "00:01:00"};

// Drops the pending change of a view when it goes, unless it was saved.
class ModificaInSospeso {
 public:
  explicit ModificaInSospeso(RecordsetLocale& rs) : rs_(rs) {}
  ~ModificaInSospeso() {
    if (!salvata_) orvane::Tacitamente([this] { rs_.CancelUpdate(); });
  }
  ModificaInSospeso(const ModificaInSospeso&) = delete;
  ModificaInSospeso& operator=(const ModificaInSospeso&) = delete;
  void Salvata() noexcept { salvata_ = true; }

 private:
  RecordsetLocale& rs_;
  bool salvata_ = false;
};

bool CartellaEsiste(std::string_view percorso) {
  // A folder that cannot be examined is a failure of the pass, not a missing program.
  return std::filesystem::is_directory(platform::PercorsoLocale(percorso));
}

std::string LeggiStringa(std::string_view chiave, std::string_view nome) {
  std::string valore;
  (void)orvane::LeggiChiaveStringa(std::string(chiave), std::string(nome), valore, "");
  return valore;
}

// Whether the program was started at log-on: the command line, without
// blanks at its ends, is exactly "VERIFICA".
bool RigaVerifica() {
  return tervan::RigaDiComandoRifilata() == "VERIFICA";
}

// The Shift argument of a key event as the entry-field class takes it: 1
// for Shift, 2 for Ctrl, 4 for Alt, added up.
int StatoMaiuscole(Qt::KeyboardModifiers modificatori) {
  return (modificatori.testFlag(Qt::ShiftModifier) ? 1 : 0) |
         (modificatori.testFlag(Qt::ControlModifier) ? 2 : 0) |
         (modificatori.testFlag(Qt::AltModifier) ? 4 : 0);
}

// Tahoma, the window's font, comes as a metric clone with Wine's fonts,
// outside fontconfig's folders.
void CaricaCaratteri() {
  static const bool caricati = [] {
    for (const char* file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
      (void)QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    return true;
  }();
  (void)caricati;
}

// The program icon, in the sizes rendered from its drawing at build time:
// a white arrow pointing down into a tray on a blue tile.
QIcon IconaProgramma() {
  QIcon icona;
  for (const int lato : {16, 32, 48, 64, 128, 256}) {
    // Read by Qt's own PNG reader: left to guess the format, the reader
    // would first load every image-format plugin installed to ask each one.
    QImageReader lettore(QStringLiteral(":/icone/tervan-%1.png").arg(lato), "png");
    lettore.setAutoDetectImageFormat(false);
    icona.addPixmap(QPixmap::fromImage(lettore.read()));
  }
  return icona;
}

// Takes `parte` out of `riga`, free for another: a layout takes only one
// that has no parent.
void Stacca(QBoxLayout* riga, QLayout* parte) {
  riga->removeItem(parte);
  parte->setParent(nullptr);
}

// A row holding `parte` at its right.
QHBoxLayout* RigaADestra(QLayout* parte) {
  auto* riga = new QHBoxLayout;
  riga->addStretch(1);
  riga->addLayout(parte);
  return riga;
}

}  // namespace

frmTervan::frmTervan()
    : NotifyIconCtrl1_(IconaProgramma(), this),
      controlli_{.finestra = *this,
                 .Check1 = *Check1_,
                 .Label3 = *Label3_,
                 .Combo1 = *Combo1_,
                 .Text1 = *Text1_,
                 .grdAggior = *grdAggior_,
                 .Label2 = *Label2_,
                 .Label4 = *Label4_,
                 .Label1 = *Label1_,
                 .vbalProg = *vbalProg_,
                 .Command_Nas = *Command_Nas_,
                 .Command_Esc = *Command_Esc_,
                 .NotifyIconCtrl1 = NotifyIconCtrl1_},
      elenco_(stato_, controlli_),
      ciclo_(stato_, controlli_, elenco_, [this] { RipetiVerifica(); }),
      scaricamento_(stato_, controlli_, elenco_) {
  ciclo_.ImpostaScaricamento([this] { scaricamento_.ConnessioneAggiornamenti(); });
  // The program ends through a granted close only: a hidden window or a
  // message box closed while the window is hidden must not end it.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  CaricaCaratteri();
  setObjectName("frmTervan");
  setWindowTitle(QString::fromUtf8(kTitolo));
  // The same icon as the tray's: its sizes are decoded once.
  setWindowIcon(NotifyIconCtrl1_.Icona().icon());
  ImpostaTesti();
  CreaMenuVassoio();
  ImpostaLayout();
  CollegaComandi();
  ImpostaTastiera();
}

frmTervan::~frmTervan() = default;

void frmTervan::ImpostaTesti() {
  const auto nomina = [](QWidget* w, const char* nome, const char* testo = nullptr) {
    w->setObjectName(QString::fromLatin1(nome));
    if (testo == nullptr) return;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(QString::fromUtf8(testo));
    if (auto* l = qobject_cast<QLabel*>(w)) l->setText(QString::fromUtf8(testo));
  };
  nomina(Check1_, "Check1", "Esegui il controllo all'avvio del sistema operativo");
  nomina(Label3_, "Label3", "Aggiorna ogni");
  nomina(Combo1_, "Combo1");
  nomina(Label5_, "Label5", "Data ultimo aggiornamento");
  nomina(Text1_, "Text1");
  nomina(Label2_, "Label2", "Premere F4 per verificare la presenza di aggiornamenti.");
  nomina(Label1_, "Label1");
  nomina(Label4_, "Label4");
  nomina(Label6_, "Label6");
  nomina(grdAggior_, "grdAggior");
  nomina(vbalProg_, "vbalProg");
  nomina(navdat_, "navdat");
  nomina(Command_F1_, "Command_F1", "F1-Guida");
  nomina(Command_F4_, "Command_F4", "F4-Ricerca");
  nomina(Command_F5_, "Command_F5", "F5-Pulisci");
  nomina(Command_F8_, "Command_F8", "F8-Tutti");
  nomina(Command_F10_, "Command_F10", "F10-Download");
  nomina(Command_Nas_, "Command_Nas", "Nascondi");
  nomina(Command_Esc_, "Command_Esc", "Esc-Uscita");
  // The interval list and the date are named by the labels beside them,
  // which is what a screen reader says of them.
  Label3_->setBuddy(Combo1_);
  Label5_->setBuddy(Text1_);
}

void frmTervan::CreaMenuVassoio() {
  mnuVestrum_.setObjectName("mnuVestrum");
  Escixx_ = mnuVestrum_.addAction(QStringLiteral("Esci"));
  Escixx_->setObjectName("Escixx");
  tmrRicerca_.setObjectName("tmrRicerca");
  tmrRicerca_.setInterval(IntervalloRicerca());
}

QLayout* frmTervan::CreaRigaImpostazioni() {
  auto* impostazioni = new QHBoxLayout;
  rigaImpostazioni_ = impostazioni;
  impostazioni->addWidget(Check1_);
  impostazioni->addStretch(1);
  // The interval, which a screen still too narrow moves beside the date.
  intervallo_ = new QHBoxLayout;
  intervallo_->addWidget(Label3_);
  intervallo_->addWidget(Combo1_);
  impostazioni->addLayout(intervallo_);
  // The date of the last update, which a narrow screen moves below.
  dataUltimo_ = new QHBoxLayout;
  dataUltimo_->addSpacing(16);
  dataUltimo_->addWidget(Label5_);
  dataUltimo_->addWidget(Text1_);
  impostazioni->addLayout(dataUltimo_);
  Combo1_->setEditable(false);
  Combo1_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  Combo1_->setMinimumContentsLength(9);
  Text1_->setMaxLength(10);
  Text1_->setFixedWidth(Text1_->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) +
                        12);
  return impostazioni;
}

QLayout* frmTervan::CreaRigaStato() {
  auto* stato = new QHBoxLayout;
  stato->addWidget(Label2_, 1);
  stato->addWidget(Label4_);
  Label2_->setTextFormat(Qt::PlainText);
  Label4_->setTextFormat(Qt::PlainText);
  // The count stays at the right while a download hides the status.
  QSizePolicy politica = Label2_->sizePolicy();
  politica.setRetainSizeWhenHidden(true);
  Label2_->setSizePolicy(politica);
  return stato;
}

QLayout* frmTervan::CreaRigaAvanzamento() {
  auto* avanzamento = new QHBoxLayout;
  avanzamento->addWidget(Label1_, 3);
  avanzamento->addWidget(vbalProg_, 2);
  vbalProg_->setTextVisible(false);
  vbalProg_->setRange(0, 100);
  vbalProg_->setValue(0);
  // The progress of a download shows only while one runs; its place stays.
  for (QWidget* w : {static_cast<QWidget*>(Label1_), static_cast<QWidget*>(vbalProg_)}) {
    QSizePolicy politica = w->sizePolicy();
    politica.setRetainSizeWhenHidden(true);
    w->setSizePolicy(politica);
    w->setVisible(false);
  }
  return avanzamento;
}

QWidget* frmTervan::CreaBarraPulsanti() {
  barraPulsanti_ = new QVBoxLayout(navdat_);
  barraPulsanti_->setContentsMargins(6, 6, 6, 6);
  auto* pulsanti = new QHBoxLayout;
  rigaPulsanti_ = pulsanti;
  barraPulsanti_->addLayout(pulsanti);
  for (QPushButton* b : {Command_F1_, Command_F4_, Command_F5_, Command_F8_, Command_F10_}) {
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::TabFocus);
    pulsanti->addWidget(b);
  }
  pulsanti->addStretch(1);
  // The version and the buttons that hide or end the program, which a
  // narrow screen moves to a row of their own.
  chiusura_ = new QHBoxLayout;
  chiusura_->addWidget(Label6_);
  chiusura_->addSpacing(8);
  for (QPushButton* b : {Command_Nas_, Command_Esc_}) {
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::TabFocus);
    chiusura_->addWidget(b);
  }
  pulsanti->addLayout(chiusura_);
  navdat_->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  Label6_->setEnabled(false);
  return navdat_;
}

QWidget* frmTervan::CreaSchede() {
  // The tab strip xpVantelTab1 frames the grid: its one tab above, the grid
  // inside its body.
  xpVantelTab1_ = new brisko::xpVantelTab(this);
  xpVantelTab1_->setObjectName("xpVantelTab1");
  orvane::Tacitamente([this] {
    auto schede = brisko::PropertyBagIni::DaTesto(kStatoSchede);
    xpVantelTab1_->ReadProperties(schede);
  });
  auto* corpoSchede = new QVBoxLayout(xpVantelTab1_);
  corpoSchede->setContentsMargins(3, xpVantelTab1_->TabHeight() + 3, 3, 3);
  corpoSchede->addWidget(grdAggior_);
  return xpVantelTab1_;
}

void frmTervan::ImpostaLayout() {
  // The list is the heart of the window: settings and date above it, the
  // status lines and the progress of a download below, the buttons last.
  QLayout* impostazioni = CreaRigaImpostazioni();
  QLayout* stato = CreaRigaStato();
  QLayout* avanzamento = CreaRigaAvanzamento();
  QWidget* pulsanti = CreaBarraPulsanti();
  auto* finestra = new QVBoxLayout(this);
  finestra->addLayout(impostazioni);
  finestra->addWidget(CreaSchede(), 1);
  finestra->addLayout(stato);
  finestra->addLayout(avanzamento);
  finestra->addWidget(pulsanti);
  resize(780, 520);
}

void frmTervan::AdattaAlloSchermo() {
  const QScreen* schermo = screen();
  if (schermo == nullptr) return;
  const QRect area = schermo->availableGeometry();
  ensurePolished();
  auto* finestra = qobject_cast<QVBoxLayout*>(layout());
  if (finestra == nullptr) return;
  // The narrowest the window can be, with the rows as they are now: the
  // button bar is a control of its own, whose size the window keeps until
  // its layout is worked out again.
  const auto troppoLarga = [&] {
    barraPulsanti_->activate();
    finestra->invalidate();
    return minimumSizeHint().width() > area.width();
  };
  // On a screen narrower than the settings row on one line (800 pixels, or
  // a large scale factor) the date of the last update goes to a line of
  // its own below, still at the right, rather than past the screen's edge.
  if (dataUltimo_->parent() == rigaImpostazioni_ && troppoLarga()) {
    Stacca(rigaImpostazioni_, dataUltimo_);
    rigaData_ = RigaADestra(dataUltimo_);
    finestra->insertLayout(finestra->indexOf(rigaImpostazioni_) + 1, rigaData_);
  }
  // Still too wide (a larger font): the buttons that hide or end the
  // program go below the function keys, at the right, rather than out of
  // reach past the screen's edge...
  if (chiusura_->parent() == rigaPulsanti_ && troppoLarga()) {
    Stacca(rigaPulsanti_, chiusura_);
    barraPulsanti_->addLayout(RigaADestra(chiusura_));
  }
  // ...and the interval goes to the start of the date's line.
  if (rigaData_ != nullptr && intervallo_->parent() == rigaImpostazioni_ && troppoLarga()) {
    Stacca(rigaImpostazioni_, intervallo_);
    rigaData_->insertLayout(0, intervallo_);
  }
  // A window larger than the screen would show without its buttons.
  if (width() > area.width() || height() > area.height())
    setWindowState(windowState() | Qt::WindowMaximized);
}

void frmTervan::CollegaComandi() {
  connect(Command_F1_, &QPushButton::clicked, this, &frmTervan::Command_F1_Click);
  connect(Command_F4_, &QPushButton::clicked, this, &frmTervan::Command_F4_Click);
  connect(Command_F5_, &QPushButton::clicked, this, &frmTervan::Command_F5_Click);
  connect(Command_F8_, &QPushButton::clicked, this, &frmTervan::Command_F8_Click);
  connect(Command_F10_, &QPushButton::clicked, this, &frmTervan::Command_F10_Click);
  connect(Command_Nas_, &QPushButton::clicked, this, &frmTervan::Command_Nas_Click);
  connect(Command_Esc_, &QPushButton::clicked, this, &frmTervan::Command_Esc_Click);
  connect(Escixx_, &QAction::triggered, this, &frmTervan::Escixx_Click);
  // Only the user's own choices: the load sets both through the routines.
  connect(Check1_, &QCheckBox::clicked, this, &frmTervan::Check1_Click);
  connect(Combo1_, &QComboBox::activated, this, &frmTervan::Combo1_Click);
  connect(&NotifyIconCtrl1_, &NotifyIconCtrl::MouseDown, this,
          &frmTervan::NotifyIconCtrl1_MouseDown);
  connect(&tmrRicerca_, &QTimer::timeout, this, &frmTervan::tmrRicerca_Timer);
  chiusuraFineSessione_.setInterval(20);
  connect(&chiusuraFineSessione_, &QTimer::timeout, this, [this] {
    // Nobody is left to answer a message box: one that a run in progress
    // is waiting on is answered as its close box would answer it, so the
    // run can reach its next step and let go. The routine that showed it
    // is still on the stack and goes on with the store once the box has
    // gone: the close waits for a later tick, when no box is left.
    bool risposto = false;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
        box->done(-1);
        risposto = true;
      }
    }
    if (risposto || !Command_Esc_->isEnabled()) return;
    chiusuraFineSessione_.stop();
    stato_.ChiusuraConsentita = true;
    close();
  });
  connect(grdAggior_, &QTableWidget::cellDoubleClicked, this,
          [this](int riga, int colonna) { elenco_.grdAggior_DblClick(riga + 1, colonna + 1); });
  connect(grdAggior_, &QTableWidget::currentCellChanged, this,
          [this](int riga, int colonna, int rigaPrima, int /*colonnaPrima*/) {
            if (riga != rigaPrima) elenco_.grdAggior_SelectionChange(riga + 1, colonna + 1);
          });
}

void frmTervan::ImpostaTastiera() {
  // Tab goes through the window's controls; inside the list the cursor
  // keys move.
  grdAggior_->setTabKeyNavigation(false);
  QWidget* prima = Check1_;
  for (QWidget* dopo : std::initializer_list<QWidget*>{
           Combo1_, Text1_, xpVantelTab1_, grdAggior_, Command_F1_, Command_F4_, Command_F5_,
           Command_F8_, Command_F10_, Command_Nas_, Command_Esc_}) {
    setTabOrder(prima, dopo);
    prima = dopo;
  }

  // Every key of the window passes through Form_KeyDown first, whichever
  // control has the focus.
  for (QWidget* figlio : findChildren<QWidget*>())
    figlio->installEventFilter(this);
}

void frmTervan::Form_Load() {
  // A second start that comes while a box of the load is open does not
  // show the window: the load still decides between showing and hiding it.
  caricamentoInCorso_ = true;
  orvane::Routine("frmTervan", "Form_Load", [&](int& linea) {
    linea = 10;
    stato_.VerificaCompleta = false;
    linea = 20;
    (void)RegServer((platform::CartellaProgramma() / "msderun.dll").string(), true);
    linea = 30;
    stato_.Archivio = std::make_unique<envAggior>(platform::CartellaProgramma());
    stato_.rsAGGIOR = stato_.Archivio->rsAGGIOR();
    // The interval the user chose: the discovery pass writes every row's
    // first interval, and the list below gives the choice back to them. A
    // store that cannot be read is reported by the discovery: the load goes
    // on to the tray icon, the only way to the window and to "Esci" left.
    std::optional<std::string> scelta;
    orvane::Tacitamente([&] { scelta = IntervalloMemorizzato(); });
    if (scelta && std::find(kFrequenze.begin(), kFrequenze.end(), *scelta) == kFrequenze.end())
      scelta.reset();
    linea = 40;
    VerificaProgrammiInstallati();
    linea = 50;
    elenco_.ImpostaGriglia();
    // The keys go to the list from the start, not to the autostart box.
    elenco_.SelezionaPrimoPacchetto();
    linea = 60;
    NotifyIconCtrl1_.Mostra();
    linea = 70;
    const orvane::Versione& v = orvane::kVersioneModulo;
    Label6_->setText(
        QStringLiteral("Versione %1.%2.%3").arg(v.maggiore).arg(v.minore).arg(v.revisione));
    linea = 80;
    if (!ModalitaLive()) {
      linea = 90;
      if (!HaProgrammi()) {
        caricamentoTerminato_ = true;
        return;
      }
      linea = 100;
      for (const char* voce : {"15 minuti", "30 minuti", "1 ora"})
        Combo1_->addItem(QString::fromUtf8(voce));
      // Adding entries selects none: only a stored interval selects one.
      Combo1_->setCurrentIndex(-1);
      linea = 110;
      if (!scelta) scelta = IntervalloMemorizzato();
      if (scelta) VisuaCampi(*scelta);
      linea = 120;
      Check1_->setChecked(true);
      Check1_Click();
      // Started at log-on the program stays in the tray, checking every
      // minute; otherwise it shows.
      linea = 130;
      if (RigaVerifica()) {
        stato_.stato = StatoVassoio::Nascosto;
        tmrRicerca_.start();
      } else {
        stato_.stato = StatoVassoio::Nessuno;
        AdattaAlloSchermo();
        show();
      }
    } else {
      linea = 140;
      if (!HaProgrammi()) {
        (void)platform::MsgBox("Nessun software Orvane è installato su questo computer.",
                               platform::vbExclamation, "Avviso");
        caricamentoTerminato_ = true;
        return;
      }
      linea = 150;
      stato_.stato = StatoVassoio::Nessuno;
      AdattaAlloSchermo();
      show();
      repaint();
      Command_F4_Click();
    }
  });
  caricamentoInCorso_ = false;
}

bool frmTervan::HaProgrammi() const {
  RecordsetLocale& rs = *stato_.rsAGGIOR;
  if (rs.State() == 0) rs.Open();
  rs.Filter("");
  return !rs.Eof();
}

std::optional<std::string> frmTervan::IntervalloMemorizzato() {
  const auto frequenza = stato_.Archivio->FrequenzaAggiornamento();
  if (!frequenza || frequenza->State() != 1 || frequenza->Eof()) return std::nullopt;
  return frequenza->Campo("Freque");
}

void frmTervan::RipetiVerifica() {
  VerificaProgrammiInstallati();
  if (Combo1_->currentIndex() >= 0) Combo1_Click();
}

void frmTervan::VisuaCampi(const std::string& Freque) {
  orvane::Routine("frmTervan", "VisuaCampi", [&](int& linea) {
    linea = 10;
    const auto voce = std::find(kFrequenze.begin(), kFrequenze.end(), Freque);
    if (voce == kFrequenze.end()) return;
    linea = 20;
    Combo1_->setCurrentIndex(static_cast<int>(voce - kFrequenze.begin()));
    Combo1_Click();
  });
}

void frmTervan::Combo1_Click() {
  orvane::Routine("frmTervan", "Combo1_Click", [&](int& linea) {
    linea = 10;
    const int scelta = Combo1_->currentIndex();
    const std::string testo = scelta >= 0 && scelta < static_cast<int>(kFrequenze.size())
                                  ? std::string(kFrequenze[static_cast<std::size_t>(scelta)])
                                  : std::string();
    linea = 20;
    stato_.Archivio->conAggior().Execute(istruzioni::kAggiornaFrequenza, {testo});
  });
}

void frmTervan::Check1_Click() {
  Combo1_Click();
  // The running program itself, quoted as a Windows command line quotes a
  // path with blanks, so an install folder with a space still starts.
  const std::string comando =
      Check1_->isChecked()
          ? platform::RigaWindows({platform::PercorsoEseguibile().string(), "VERIFICA"})
          : std::string();
  (void)orvane::ScriviChiaveStringa(kChiaveAvvio, kValoreAvvio, comando, "");
}

void frmTervan::OsservaFineSessione(int descrittore, std::function<void()> svuota) {
  fineSessione_ = std::make_unique<QSocketNotifier>(descrittore, QSocketNotifier::Read);
  connect(fineSessione_.get(), &QSocketNotifier::activated, this,
          [this, svuota = std::move(svuota)] {
            if (svuota) svuota();
            FineSessione();
          });
}

void frmTervan::FineSessione() {
  stato_.SessioneFinita = true;
  tmrRicerca_.stop();
  // The close is granted once the run in progress has let go (Esc enabled
  // again); until then the run abandons its work at its next step.
  chiusuraFineSessione_.start();
}

void frmTervan::Form_QueryUnload(bool& Cancel) {
  orvane::Routine("frmTervan", "Form_QueryUnload", [&](int& linea) {
    linea = 10;
    if (!Command_Esc_->isEnabled()) {
      Cancel = true;
    } else if (stato_.ChiusuraConsentita) {
      linea = 20;
      stato_.rsAGGIOR.reset();
      stato_.Archivio.reset();
    } else {
      Cancel = true;
      if (!RigaVerifica()) stato_.ChiusuraConsentita = true;
    }
  });
}

void frmTervan::closeEvent(QCloseEvent* evento) {
  bool annulla = false;
  Form_QueryUnload(annulla);
  if (annulla) {
    evento->ignore();
    return;
  }
  evento->accept();
  tmrRicerca_.stop();
  // The only way the program ends once it runs.
  QCoreApplication::quit();
}

void frmTervan::Form_KeyDown(int& KeyCode, int Shift) {
  Editxx().Form_KeyDown(*this, KeyCode, Shift);
}

orvane::clsEditxx& frmTervan::Editxx() {
  if (!editxx_) editxx_.emplace();
  return *editxx_;
}

bool frmTervan::eventFilter(QObject* oggetto, QEvent* evento) {
  if (evento->type() == QEvent::KeyPress) {
    auto* tasto = static_cast<QKeyEvent*>(evento);
    // Esc in a pop-up of a control (the open interval list) closes the
    // pop-up only.
    if (const auto* w = qobject_cast<QWidget*>(oggetto);
        tasto->key() == Qt::Key_Escape && w != nullptr && w->window() != this)
      return QWidget::eventFilter(oggetto, evento);
    eventoFiltrato_ = evento;
    int KeyCode = orvane::CodiceTastoWindows(*tasto);
    if (oggetto == grdAggior_) elenco_.grdAggior_KeyDown(KeyCode);
    if (KeyCode != 0) {
      Form_KeyDown(KeyCode, StatoMaiuscole(tasto->modifiers()));
      if (KeyCode == 0) return true;
    }
    const bool invio = tasto->key() == Qt::Key_Return || tasto->key() == Qt::Key_Enter;
    if (invio && oggetto == grdAggior_) {
      elenco_.grdAggior_KeyPress(13);
      return true;
    }
    if (invio && oggetto == Text1_) {
      Text1_Validate();
      return true;
    }
    // Enter presses the button that has the focus, as Space does.
    if (auto* pulsante = qobject_cast<QPushButton*>(oggetto); invio && pulsante != nullptr) {
      if (pulsante->isEnabled()) pulsante->click();
      return true;
    }
  } else if (oggetto == Text1_ && evento->type() == QEvent::FocusIn) {
    Editxx().Text_GotFocus(*Text1_);
  } else if (oggetto == Text1_ && evento->type() == QEvent::FocusOut) {
    // The date is checked only when the user moves on to another control
    // of this window: a message box or another window taking the focus
    // leaves a half-typed date as it is.
    const auto motivo = static_cast<QFocusEvent*>(evento)->reason();
    const QWidget* verso = QApplication::focusWidget();
    if (motivo != Qt::ActiveWindowFocusReason && motivo != Qt::PopupFocusReason &&
        verso != nullptr && verso != Text1_ && verso->window() == this)
      Text1_Validate();
    Editxx().Text_LostFocus(*Text1_);
  }
  return QWidget::eventFilter(oggetto, evento);
}

void frmTervan::keyPressEvent(QKeyEvent* evento) {
  // A key a control let through was seen by the filter already.
  if (evento != eventoFiltrato_) {
    int KeyCode = orvane::CodiceTastoWindows(*evento);
    if (KeyCode != 0) {
      Form_KeyDown(KeyCode, StatoMaiuscole(evento->modifiers()));
      if (KeyCode == 0) return;
    }
  }
  QWidget::keyPressEvent(evento);
}

void frmTervan::Text1_Validate() {
  orvane::Routine("frmTervan", "Text1_Validate", [&](int& linea) {
    linea = 10;
    std::string testo = Text1_->text().toStdString();
    const std::string valido = Editxx().Validate(testo, "D", "", "N", "", "", "");
    Text1_->setText(QString::fromStdString(valido));
  });
}

void frmTervan::MostraFumetto(const std::string& Testo, const std::string& Titolo, int Durata) {
  NotifyIconCtrl1_.MostraFumetto(Testo, Titolo, Durata);
}

void frmTervan::Command_F1_Click() {
  // The guide has no action.
}

void frmTervan::Command_F4_Click() {
  ciclo_.Command_F4_Click();
}

void frmTervan::Command_F5_Click() {
  elenco_.SegnaTutti("");
}

void frmTervan::Command_F8_Click() {
  elenco_.SegnaTutti("Ok");
}

void frmTervan::Command_F10_Click() {
  // Not while a search, a list request or a download runs (Esc disabled):
  // a run started from inside another would take a list being rebuilt.
  if (!Command_Esc_->isEnabled()) return;
  const int risposta = platform::MsgBox(std::string(ScaricamentoAggiornamenti::kDomanda),
                                        platform::vbYesNo | platform::vbQuestion,
                                        std::string(ScaricamentoAggiornamenti::kTitoloAvviso));
  if (risposta != platform::vbYes) return;
  ciclo_.ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);
  if (stato_.SessioneFinita) return;
  // Outside live mode the list is built again from what the service lists.
  if (!ModalitaLive()) ciclo_.ControlloAggiornamentiORVANE();
  scaricamento_.MostraCronologia([this] { close(); });
}

void frmTervan::Command_Nas_Click() {
  // A maximised or minimised window keeps its state; a window manager
  // would place a plain one anew when it shows again.
  if (isVisible() && !isMaximized() && !isMinimized()) {
    corniceNascosta_ = frameGeometry();
    bordoNascosta_ = geometry().topLeft() - frameGeometry().topLeft();
  }
  hide();
  if (Check1_->isChecked()) {
    stato_.stato = StatoVassoio::Nascosto;
    tmrRicerca_.start();
  }
}

void frmTervan::Command_Esc_Click() {
  orvane::Routine("frmTervan", "Command_Esc_Click", [&](int& linea) {
    linea = 10;
    if (!Command_Esc_->isEnabled()) return;
    if (Check1_->isChecked()) {
      Command_Nas_Click();
    } else {
      if (RigaVerifica()) stato_.ChiusuraConsentita = true;
      close();
    }
  });
}

void frmTervan::Escixx_Click() {
  stato_.ChiusuraConsentita = true;
  close();
}

void frmTervan::NotifyIconCtrl1_MouseDown(int Button) {
  if (Button == 1) {
    // Visible to the user: a minimised window comes back, and one under
    // other windows comes to the front.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    // Where the user left it, on the screen as it is now. The position
    // is given to the window itself, so the window manager takes it as
    // the program's own: Qt would take it for no move, as it still holds
    // the old one, and the manager would place the window anew.
    QWindow* finestra = windowHandle();
    if (!isVisible() && corniceNascosta_ && finestra != nullptr) {
      const QScreen* schermo = QGuiApplication::screenAt(corniceNascosta_->center());
      if (schermo == nullptr) schermo = screen();
      if (schermo != nullptr)
        finestra->setPosition(PosizioneRitorno(*corniceNascosta_, schermo->availableGeometry()) +
                              bordoNascosta_);
    }
    corniceNascosta_.reset();
    AdattaAlloSchermo();
    show();
    raise();
    activateWindow();
    stato_.stato = StatoVassoio::Riaperto;
    tmrRicerca_.stop();
  } else if (Button == 2) {
    mnuVestrum_.popup(QCursor::pos());
  }
}

QPoint frmTervan::PosizioneRitorno(const QRect& cornice, const QRect& area) {
  const auto dentro = [](int inizio, int lato, int primo, int spazio) {
    return std::max(primo, std::min(inizio, primo + spazio - lato));
  };
  return {dentro(cornice.x(), cornice.width(), area.x(), area.width()),
          dentro(cornice.y(), cornice.height(), area.y(), area.height())};
}

bool frmTervan::MostraDaAltroAvvio() {
  // With a notification area the icon brings the window back: a second
  // start ends silently, as it always did.
  if (QSystemTrayIcon::isSystemTrayAvailable()) return false;
  if (!stato_.Archivio || caricamentoInCorso_ || caricamentoTerminato_ || stato_.SessioneFinita ||
      scaricamento_.InCorso())
    return false;
  NotifyIconCtrl1_MouseDown(1);
  return true;
}

int frmTervan::IntervalloRicerca() {
  bool letto = false;
  const int ms = qEnvironmentVariableIntValue(kVariabileIntervallo, &letto);
  return letto && ms >= 100 && ms <= kIntervalloRicerca ? ms : kIntervalloRicerca;
}

void frmTervan::tmrRicerca_Timer() {
  tmrRicerca_.stop();
  // A tick that comes while a search or a download run waits on the
  // service starts nothing: the next one comes a minute later.
  if (!ciclo_.InCorso() && !elenco_.Bloccato()) {
    // As F4's: the discovery and the cycle use the store after any box
    // they show, so the close waits for them.
    ciclo_.Occupato([this] {
      if (stato_.VerificaCompleta) {
        ciclo_.ControlloAggiornamentiORVANE();
      } else {
        RipetiVerifica();
        // A program not yet given its identifier would otherwise keep every
        // other one from being checked for as long as it stays so, unseen.
        if (stato_.SoloClientiMancanti) ciclo_.ControlloAggiornamentiORVANE();
      }
    });
  }
  // The checks go on only while the window is still hidden with them: the
  // tray icon or a second start may have brought it back during the wait,
  // and the user's list is not to be rebuilt under them every minute.
  if (!stato_.SessioneFinita && stato_.stato == StatoVassoio::Nascosto) tmrRicerca_.start();
}

void frmTervan::ScriviRiga(std::string_view softxx, const std::string& PercXx,
                           const std::string& Server, std::string_view Filexx,
                           const std::string& userid) {
  RecordsetLocale& rs = *stato_.rsAGGIOR;
  rs.Filter("softxx=" + platform::LetteraleSql(std::string(softxx)));
  if (rs.Eof()) rs.AddNew();
  // A change the store refuses is dropped with the failure, so the view is
  // clean for the next pass instead of retrying the same save for ever.
  ModificaInSospeso modifica(rs);
  rs.Campo("softxx", std::string(softxx));
  rs.Campo("indiri", quomaro::EndpointServizio());
  rs.Campo("PercXx", PercXx);
  rs.Campo("Server", Server);
  rs.Campo("FreQue", std::string(kFrequenzaIniziale));
  rs.Campo("Filexx", std::string(Filexx));
  rs.Campo("userid", userid);
  if (rs.Campo("userid").empty()) {
    // A program without a customer identifier cannot be checked: keep what
    // the store had and try again at the next pass.
    stato_.VerificaCompleta = false;
    stato_.SoloClientiMancanti = true;
    return;
  }
  rs.Update();
  modifica.Salvata();
}

void frmTervan::VerificaProgrammiInstallati() {
  bool completata = false;
  orvane::Routine("frmTervan", "VerificaProgrammiInstallati", [&](int& linea) {
    linea = 10;
    stato_.VerificaCompleta = true;
    stato_.SoloClientiMancanti = false;
    if (!stato_.rsAGGIOR)
      throw orvane::Errore(orvane::kOggettoNonImpostato, "Variabile oggetto non impostata");
    // A check cycle closes the view when it ends: the discovery opens it again.
    if (stato_.rsAGGIOR->State() == 0) stato_.rsAGGIOR->Open();

    linea = 20;
    if (CartellaEsiste(programmi::kCartellaTarvik)) {
      linea = 30;
      stato_.DatiUtente = orvane::GetUtente();
      const std::string codcli = orvane::GetSetting(programmi::kApplicazioneTarvik,
                                                    programmi::kSezioneLicenzaTarvik, "codcli");
      ScriviRiga(programmi::kTarvik, stato_.DatiUtente.PercXx, stato_.DatiUtente.Server,
                 programmi::kEseguibileFarsel, codcli);
    } else {
      linea = 40;
      stato_.Archivio->conAggior().Execute(istruzioni::kCancellaTarvik);
    }

    linea = 50;
    if (!CartellaEsiste(programmi::kCartellaMorlen) &&
        !CartellaEsiste(programmi::kCartellaMorlenProgrammi)) {
      linea = 60;
      stato_.Archivio->conAggior().Execute(istruzioni::kCancellaModuliMorlen);
    } else {
      linea = 70;
      const std::string driveArch = LeggiStringa(programmi::kChiaveKovra, "DRIVE_ARCH");
      const std::string codcli = LeggiStringa(programmi::kChiaveKovra, "codcli");
      for (const std::string_view modulo : programmi::kModuliMorlen) {
        ScriviRiga(modulo, driveArch + "\\morlen", "", programmi::kEseguibileFarsel, codcli);
      }
    }

    linea = 80;
    if (!CartellaEsiste(programmi::kCartellaSelvor)) {
      linea = 90;
      stato_.Archivio->conAggior().Execute(istruzioni::kCancellaSelvor);
    } else {
      linea = 100;
      const std::string nomexx = LeggiStringa(programmi::kChiaveVestrum, "nomexx");
      const std::string datixx =
          orvane::GetSetting(programmi::kApplicazioneSelvor, programmi::kSezioneSelvor, "datixx");
      const std::string server =
          orvane::GetSetting(programmi::kApplicazioneSelvor, programmi::kSezioneSelvor, "Server");
      ScriviRiga(programmi::kSelvor, datixx, server, programmi::kEseguibilePloduk, nomexx);
    }

    linea = 110;
    stato_.rsAGGIOR->Filter("");
    completata = true;
  });
  if (!completata) {
    stato_.VerificaCompleta = false;
    stato_.SoloClientiMancanti = false;
  }
}

}  // namespace tervan
