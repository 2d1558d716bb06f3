#include "updater/ElencoAggiornamenti.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QSignalBlocker>
#include <QTableWidgetItem>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "common/Errore.h"
#include "common/Routine.h"
#include "platform/TestoSql.h"
#include "platform/TestoUtf8.h"
#include "updater/ProgrammiOrvane.h"
#include "updater/basTervan.h"

namespace tervan {
namespace {

constexpr std::string_view kModulo = "frmTervan";

// A colour in the 0x00BBGGRR layout.
QColor ColoreOle(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

Qt::Alignment AllineamentoQt(int codice) {
  switch (codice) {
    case 1:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case 2:
      return Qt::AlignRight | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

QFont Tahoma(double punti) {
  QFont f(QStringLiteral("Tahoma"));
  f.setPointSizeF(punti);
  f.setWeight(QFont::Normal);
  return f;
}

// How one cell looks; nothing means the grid's own.
struct Aspetto {
  std::optional<int> allineamento;
  std::optional<std::uint32_t> sfondo;
  std::optional<std::uint32_t> testo;
  const QFont* carattere = nullptr;
};

void Cella(QTableWidget& g, int riga, int colonna, const std::string& testo, const Aspetto& a) {
  auto* item = new QTableWidgetItem(QString::fromStdString(testo));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  if (!platform::Utf8Valido(testo))
    item->setData(ElencoAggiornamenti::kRuoloByte, QByteArray::fromStdString(testo));
  if (a.allineamento) {
    item->setTextAlignment(AllineamentoQt(*a.allineamento));
    item->setData(ElencoAggiornamenti::kRuoloAllineamento, *a.allineamento);
  }
  if (a.sfondo) item->setBackground(ColoreOle(*a.sfondo));
  if (a.testo) item->setForeground(ColoreOle(*a.testo));
  if (a.carattere != nullptr) item->setFont(*a.carattere);
  g.setItem(riga - 1, colonna - 1, item);
}

// Notes on one line: each CR LF pair becomes one blank, and so does a lone
// CR or LF, or Unicode's line and paragraph separators (U+2028, U+2029),
// which would otherwise break the row's single line.
std::string NoteSuUnaRiga(std::string note) {
  std::string riga;
  riga.reserve(note.size());
  for (std::size_t i = 0; i < note.size(); ++i) {
    if (note[i] == '\r' && i + 1 < note.size() && note[i + 1] == '\n') {
      riga += ' ';
      ++i;
    } else if (note.compare(i, 3, "\u2028") == 0 || note.compare(i, 3, "\u2029") == 0) {
      riga += ' ';
      i += 2;
    } else {
      riga += (note[i] == '\r' || note[i] == '\n') ? ' ' : note[i];
    }
  }
  return riga;
}

std::string TestoData(const quomaro::Valore& v) {
  const auto d = v.Data();
  if (!d) return v.Testo();
  char testo[32];
  std::snprintf(testo, sizeof testo, "%02d/%02d/%04d %02d:%02d:%02d", d->giorno, d->mese, d->anno,
                d->ore, d->minuti, d->secondi);
  return testo;
}

// Drawing of the grid switched off for as long as it lives.
class DisegnoSospeso {
 public:
  explicit DisegnoSospeso(QWidget& w) : w_(w), prima_(w.updatesEnabled()) {
    w_.setUpdatesEnabled(false);
  }
  ~DisegnoSospeso() { w_.setUpdatesEnabled(prima_); }
  DisegnoSospeso(const DisegnoSospeso&) = delete;
  DisegnoSospeso& operator=(const DisegnoSospeso&) = delete;

 private:
  QWidget& w_;
  bool prima_;
};

}  // namespace

ElencoAggiornamenti::ElencoAggiornamenti(StatoFinestra& stato, ControlliFinestra& controlli)
    : stato_(stato), controlli_(controlli) {}

void ElencoAggiornamenti::ImpostaGriglia() {
  orvane::Routine(kModulo, "ImpostaGriglia", [&](int& linea) {
    linea = 10;
    QTableWidget& g = controlli_.grdAggior;
    struct DefColonna {
      const char* intestazione;
      int allineamento;
      int larghezza;  // 0: the grid's default
      bool visibile;
    };
    static constexpr std::array<DefColonna, kColonne> kDefinizioni{{
        {"Esegui", 2, 50, true},
        {"Contenuto aggiornamento", 2, 220, true},
        {"Data", 2, 130, true},
        {"Codice", 2, 80, false},
        {"Dimensione", 1, 90, true},
        {"", 0, 0, false},
        {"", 0, 0, false},
        {"", 0, 0, false},
        {"", 0, 0, false},
        {"", 0, 0, false},
    }};
    g.setColumnCount(kColonne);
    for (int c = 0; c < kColonne; ++c) {
      const DefColonna& d = kDefinizioni.at(static_cast<std::size_t>(c));
      auto* intestazione = new QTableWidgetItem(QString::fromUtf8(d.intestazione));
      intestazione->setTextAlignment(AllineamentoQt(d.allineamento));
      intestazione->setData(kRuoloAllineamento, d.allineamento);
      g.setHorizontalHeaderItem(c, intestazione);
      if (d.larghezza > 0) g.setColumnWidth(c, d.larghezza);
      g.setColumnHidden(c, !d.visibile);
    }

    linea = 20;
    // Whole-row selection in the list's colours; headers are not buttons.
    g.setSelectionBehavior(QAbstractItemView::SelectRows);
    g.setSelectionMode(QAbstractItemView::SingleSelection);
    g.setEditTriggers(QAbstractItemView::NoEditTriggers);
    g.setTextElideMode(Qt::ElideRight);
    g.setWordWrap(false);
    g.setShowGrid(false);
    g.setFont(Tahoma(9.75));
    QPalette p = g.palette();
    for (const auto gruppo : {QPalette::Active, QPalette::Inactive}) {
      p.setColor(gruppo, QPalette::Highlight, ColoreOle(0x00C0E0FF));
      p.setColor(gruppo, QPalette::HighlightedText, ColoreOle(0x00800000));
    }
    g.setPalette(p);
    g.horizontalHeader()->setSectionsClickable(false);
    g.horizontalHeader()->setHighlightSections(false);
    g.horizontalHeader()->setSectionResizeMode(kContenuto - 1, QHeaderView::Stretch);
    g.verticalHeader()->setVisible(false);
    g.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    g.verticalHeader()->setDefaultSectionSize(QFontMetrics(Tahoma(10)).height() + 6);
    g.setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    linea = 30;
    if (ModalitaLive()) {
      controlli_.Check1.setVisible(false);
      controlli_.Command_Nas.setVisible(false);
      controlli_.Label3.setVisible(false);
      controlli_.Combo1.setVisible(false);
    }
  });
}

void ElencoAggiornamenti::RiempiGriglia(const std::string& softxx) {
  orvane::Routine(kModulo, "RiempiGriglia", [&](int& linea) {
    linea = 10;
    DisegnoSospeso disegno(controlli_.grdAggior);
    linea = 20;
    // Held for the length of the exchange, whatever replaces the window's client meanwhile.
    const std::shared_ptr<quomaro::clsCA> servizio = stato_.ServizioCA;
    if (!servizio)
      throw orvane::Errore(orvane::kOggettoNonImpostato, "Variabile oggetto non impostata");
    const std::shared_ptr<quomaro::Recordset> rs =
        servizio->getFILEXX(stato_.UtenteCorrente, softxx);
    linea = 30;
    // An exchange that the session's end cut short is no answer to tell.
    if (stato_.SessioneFinita) return;
    if (!rs) {
      controlli_.Segnala("Problemi nel riprendere l'elenco degli aggiornamenti\n" +
                         servizio->xmlStream());
      return;
    }
    linea = 40;
    if (rs->State() != quomaro::Recordset::adStateOpen) {
      controlli_.Segnala("Connessione col server chiusa inaspettatamente\n" +
                         servizio->xmlStream());
    } else {
      AggiungiPacchetti(*rs, softxx);
    }
    linea = 50;
    SegnaTutti("Ok");
    ControlliFinestra::Scrivi(controlli_.Label2, std::string(kPronto));
  });
}

void ElencoAggiornamenti::AggiungiPacchetti(quomaro::Recordset& rs, const std::string& softxx) {
  QTableWidget& g = controlli_.grdAggior;
  const QFont dati = Tahoma(10);
  const QFont note = Tahoma(7);
  DisegnoSospeso disegno(g);
  rs.Sort("dataxx ASC");
  rs.Filter("progra=" + platform::LetteraleSql(softxx));
  if (!rs.EOF_()) {
    g.setVisible(true);
    rs.MoveFirst();
  }
  // The data folder of the program being processed: the store's current row.
  const auto& programma = stato_.rsAGGIOR;
  const std::string cartellaDati =
      programma && programma->State() == 1 && !programma->Eof() ? programma->Campo("PercXx") : "";
  // The packages to add are gathered first and the grid grows once: rows
  // appended one by one make the grid's bookkeeping grow with the list.
  struct Pacchetto {
    std::string codice, Filexx, data, dimensione, byte, tipo, progra, note;
  };
  std::vector<Pacchetto> nuovi;
  int scartati = 0;
  // Should anything fail half-way, the index is rebuilt from the grid.
  struct IndiceProvvisorio {
    int& righe;
    bool concluso = false;
    ~IndiceProvvisorio() {
      if (!concluso) righe = -1;
    }
  } provvisorio{righeIndicizzate_};
  for (; !rs.EOF_(); rs.MoveNext()) {
    const auto codice = rs.Campo("codice").Intero();
    std::string progra = rs.Campo("progra").Testo();
    std::string tipo = rs.Campo("TipoXx").Testo();
    if (!codice || *codice < std::numeric_limits<std::int32_t>::min() ||
        *codice > std::numeric_limits<std::int32_t>::max()) {
      // A package without a usable code could never be fetched: it is left out.
      ++scartati;
      continue;
    }
    if (!VerificaFileInElenco(static_cast<std::int32_t>(*codice), progra, tipo)) continue;
    const quomaro::Valore dimens = rs.Campo("dimens");
    const auto byte = dimens.Numero();
    // The run reads the size as a whole number of bytes: one persisted as a
    // decimal type ("330.0", "1.5E6") is carried as the number it is.
    const auto byteInteri = dimens.Intero();
    Pacchetto p{std::to_string(*codice),
                rs.Campo("Filexx").Testo(),
                TestoData(rs.Campo("dataxx")),
                byte ? TestoDimensione(*byte) : std::string(),
                byteInteri ? std::to_string(*byteInteri) : dimens.Testo(),
                std::move(tipo),
                std::move(progra),
                NoteSuUnaRiga(rs.Campo("notexx").Testo())};
    Indicizza(p.codice, p.progra);
    nuovi.push_back(std::move(p));
  }
  int riga = g.rowCount() + 1;
  g.setRowCount(g.rowCount() + 2 * static_cast<int>(nuovi.size()));
  {
    // The view learns of the new cells once, at the end, not cell by cell.
    const QSignalBlocker silenzio(g.model());
    for (const Pacchetto& p : nuovi) {
      Cella(g, riga, kEsegui, "", {1, 0x00DDFFFFU, 0x00004000U});
      Cella(g, riga, kContenuto, p.Filexx, {kAllineamentoEllissi, 0x00C0EEFFU, 0x00400000U, &dati});
      Cella(g, riga, kData, p.data, {0, 0x00C0EEFFU, 0x00400000U, &dati});
      Cella(g, riga, kCodice, p.codice, {});
      Cella(g, riga, kDimensione, p.dimensione, {1, 0x00C0EEFFU, 0x00400000U, &dati});
      Cella(g, riga, kByte, p.byte, {});
      Cella(g, riga, kTipo, p.tipo, {});
      Cella(g, riga, kCartellaDati, cartellaDati, {});
      Cella(g, riga, kProgramma, p.progra, {});
      Cella(g, riga, kUtente, stato_.UtenteCorrente, {});
      Cella(g, riga + 1, kEsegui, "", {kAllineamentoEllissi, 0x00DDFFFFU, std::nullopt});
      Cella(g, riga + 1, kContenuto, p.note,
            {kAllineamentoEllissi, std::nullopt, std::nullopt, &note});
      riga += 2;
    }
  }
  if (!nuovi.empty()) {
    const auto* m = g.model();
    emit g.model()->dataChanged(m->index(g.rowCount() - 2 * static_cast<int>(nuovi.size()), 0),
                                m->index(g.rowCount() - 1, kColonne - 1));
  }
  righeIndicizzate_ = g.rowCount();
  provvisorio.concluso = true;
  if (scartati > 0) {
    // One record for the whole list, however many packages were left out.
    orvane::Routine(kModulo, "RiempiGriglia", [&](int& linea) {
      linea = 60;
      throw orvane::Errore(orvane::kTipoNonCorrispondente,
                           "Tipo non corrispondente: " + std::to_string(scartati) +
                               " aggiornamenti senza un codice numerico");
    });
  }
}

bool ElencoAggiornamenti::VerificaFileInElenco(std::int32_t codice, const std::string& progra,
                                               const std::string& TipoXx) {
  return orvane::Routine(kModulo, "VerificaFileInElenco", [&](int& linea) {
    linea = 10;
    AllineaIndice();
    const auto trovato = indice_.find(std::to_string(codice));
    if (trovato == indice_.end()) return true;
    linea = 20;
    // The list keeps a program's rows whatever the case of their code (as
    // the filter on "progra" does): "Tarvik" is the same program as "TARVIK".
    const auto modulo = [](const std::string& p) {
      return programmi::ModuloMorlen(platform::MaiuscoloAscii(p));
    };
    bool risposta = true;
    for (const std::string& listato : trovato->second) {
      if (modulo(progra) && modulo(listato)) risposta = false;
      if (platform::UgualiSenzaMaiuscoleAscii(listato, progra)) risposta = false;
      if (TipoXx == "ORVANE") risposta = false;
    }
    return risposta;
  });
}

void ElencoAggiornamenti::AllineaIndice() {
  const QTableWidget& g = controlli_.grdAggior;
  if (righeIndicizzate_ == g.rowCount()) return;
  indice_.clear();
  righeIndicizzate_ = 0;
  for (int r = 1; r <= g.rowCount(); ++r) {
    const std::string codice = Testo(r, kCodice);
    if (!codice.empty()) indice_[codice].push_back(Testo(r, kProgramma));
  }
  righeIndicizzate_ = g.rowCount();
}

void ElencoAggiornamenti::Indicizza(const std::string& codice, const std::string& progra) {
  indice_[codice].push_back(progra);
}

void ElencoAggiornamenti::SegnaTutti(const std::string& valore) {
  if (Bloccato()) return;
  QTableWidget& g = controlli_.grdAggior;
  const QString testo = QString::fromStdString(valore);
  for (int r = 0; r < g.rowCount(); r += 2) {
    if (QTableWidgetItem* item = g.item(r, kEsegui - 1)) item->setText(testo);
  }
}

void ElencoAggiornamenti::SelezionaPrimoPacchetto() {
  QTableWidget& g = controlli_.grdAggior;
  if (g.rowCount() > 0) g.setCurrentCell(0, kContenuto - 1);
  g.setFocus(Qt::OtherFocusReason);
}

void ElencoAggiornamenti::Svuota() {
  controlli_.grdAggior.setRowCount(0);
  indice_.clear();
  righeIndicizzate_ = 0;
}

int ElencoAggiornamenti::Righe() const {
  return controlli_.grdAggior.rowCount();
}

std::string ElencoAggiornamenti::Testo(int riga, int colonna) const {
  const QTableWidgetItem* item = controlli_.grdAggior.item(riga - 1, colonna - 1);
  if (item == nullptr) return {};
  // Bytes that are not UTF-8 come back as they were given, while the cell
  // still shows them.
  const QByteArray byte = item->data(kRuoloByte).toByteArray();
  if (!byte.isNull() && QString::fromUtf8(byte) == item->text()) return byte.toStdString();
  return item->text().toStdString();
}

void ElencoAggiornamenti::grdAggior_KeyDown(int KeyCode) {
  UltimoTasto = KeyCode;
}

void ElencoAggiornamenti::grdAggior_KeyPress(int KeyAscii) {
  orvane::Routine(kModulo, "grdAggior_KeyPress", [&](int& linea) {
    linea = 10;
    if (KeyAscii == 13) Inverti(controlli_.grdAggior.currentRow() + 1);
  });
}

void ElencoAggiornamenti::grdAggior_DblClick(int riga, int /*colonna*/) {
  orvane::Routine(kModulo, "grdAggior_DblClick", [&](int& linea) {
    linea = 10;
    if (riga % 2 == 1) Inverti(riga);
  });
}

void ElencoAggiornamenti::Inverti(int riga) {
  QTableWidgetItem* item = controlli_.grdAggior.item(riga - 1, kEsegui - 1);
  // Only a data row carries a mark, and only while no run holds the list.
  if (item == nullptr || riga % 2 == 0 || Bloccato()) return;
  item->setText(item->text() == QStringLiteral("Ok") ? QString() : QStringLiteral("Ok"));
}

void ElencoAggiornamenti::grdAggior_SelectionChange(int riga, int /*colonna*/) {
  orvane::Routine(kModulo, "grdAggior_SelectionChange", [&](int& linea) {
    linea = 10;
    if (riga < 1 || riga % 2 != 0) return;
    const bool giu = riga < Righe() && UltimoTasto != 38;
    // Queued as key input: it takes effect once this handler has returned.
    QCoreApplication::postEvent(
        &controlli_.grdAggior,
        new QKeyEvent(QEvent::KeyPress, giu ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier));
  });
}

std::string ElencoAggiornamenti::TestoDimensione(double dimens) {
  const bool kb = dimens > 1000;
  const double valore = std::round(kb ? dimens / 1000 : dimens);
  // The C locale has no thousands separator (Qt would give it an English
  // comma, which an Italian reads as a decimal point).
  QLocale locale;
  if (locale.language() == QLocale::C) locale.setNumberOptions(QLocale::OmitGroupSeparator);
  const QString testo = locale.toString(valore, 'f', 0);
  return testo.toStdString() + (kb ? " KB" : " Byte");
}

}  // namespace tervan
