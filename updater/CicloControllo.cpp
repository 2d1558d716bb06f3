#include "updater/CicloControllo.h"

#include <QApplication>
#include <QCursor>
#include <chrono>
#include <optional>
#include <system_error>
#include <utility>

#include "common/Errore.h"
#include "common/Routine.h"
#include "common/clsGUID.h"
#include "platform/BloccoCartella.h"
#include "platform/Collocazione.h"
#include "platform/Orologio.h"
#include "platform/PompaMessaggi.h"
#include "updater/DataOraLocale.h"
#include "updater/basTervan.h"

namespace tervan {
namespace {

constexpr std::string_view kModulo = "frmTervan";

// The hourglass for as long as it lives.
class CursoreOccupato {
 public:
  CursoreOccupato() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~CursoreOccupato() { QApplication::restoreOverrideCursor(); }
  CursoreOccupato(const CursoreOccupato&) = delete;
  CursoreOccupato& operator=(const CursoreOccupato&) = delete;
};

// A flag raised for as long as it lives.
class Bandiera {
 public:
  explicit Bandiera(bool& b) : b_(b) { b_ = true; }
  ~Bandiera() { b_ = false; }
  Bandiera(const Bandiera&) = delete;
  Bandiera& operator=(const Bandiera&) = delete;

 private:
  bool& b_;
};

}  // namespace

class CicloControllo::EscOccupato {
 public:
  explicit EscOccupato(CicloControllo& c) : c_(c) {
    if (c_.occupato_++ == 0) c_.controlli_.Command_Esc.setEnabled(false);
  }
  ~EscOccupato() {
    if (--c_.occupato_ == 0) c_.controlli_.Command_Esc.setEnabled(true);
  }
  EscOccupato(const EscOccupato&) = delete;
  EscOccupato& operator=(const EscOccupato&) = delete;

 private:
  CicloControllo& c_;
};

CicloControllo::CicloControllo(StatoFinestra& stato, ControlliFinestra& controlli,
                               ElencoAggiornamenti& elenco, std::function<void()> verificaProgrammi,
                               std::function<void()> scaricaAggiornamenti)
    : stato_(stato),
      controlli_(controlli),
      elenco_(elenco),
      verificaProgrammi_(std::move(verificaProgrammi)),
      scaricaAggiornamenti_(std::move(scaricaAggiornamenti)) {}

void CicloControllo::ImpostaScaricamento(std::function<void()> scaricaAggiornamenti) {
  scaricaAggiornamenti_ = std::move(scaricaAggiornamenti);
}

bool CicloControllo::ControlliCadenzati() const {
  return (tervan::RigaDiComandoRifilata() == "VERIFICA" && !controlli_.FinestraVisibile()) ||
         stato_.stato == StatoVassoio::Nascosto;
}

void CicloControllo::ControlloAggiornamentiORVANE() {
  // Neither inside another cycle nor while a download run holds the list.
  if (cicloInCorso_ || elenco_.Bloccato()) return;
  // The unattended cycles of the user's Tervans take turns. A check taken
  // in the store is marked with the time it was taken, which a clock put
  // back while it runs (or the hour that repeats when summer time ends)
  // turns into a last check ahead of now, due at once for the other
  // session: the two would list and download the same packages side by
  // side. A cycle that finds another one running leaves this tick to it.
  std::optional<platform::BloccoCartella> turno;
  if (ControlliCadenzati()) {
    try {
      turno.emplace(platform::CartellaEsecuzioneUtente(), std::chrono::milliseconds(0));
    } catch (const std::system_error& e) {
      if (e.code() == std::errc::operation_would_block) return;
      // Without the folder the store's own claim still keeps the sessions apart.
    }
  }
  const Bandiera inCorso(cicloInCorso_);
  orvane::Routine(kModulo, "ControlloAggiornamentiORVANE", [&](int& linea) {
    linea = 10;
    elenco_.Svuota();
    linea = 20;
    if (!stato_.rsAGGIOR || !stato_.Archivio)
      throw orvane::Errore(orvane::kOggettoNonImpostato, "Variabile oggetto non impostata");
    RecordsetLocale& rs = *stato_.rsAGGIOR;
    if (rs.State() == 1) rs.Close();
    rs.Open();
    rs.Filter("");
    if (!rs.Eof()) rs.MoveFirst();
    linea = 30;
    if (rs.Eof()) {
      ControlliFinestra::Scrivi(controlli_.Label2, "Nessun software installato");
      controlli_.Label4.clear();
      return;
    }
    linea = 40;
    // The session's end leaves the programs not yet checked as they are.
    for (; !rs.Eof() && !stato_.SessioneFinita; rs.MoveNext()) {
      linea = 50;
      stato_.UtenteCorrente = rs.Campo("userid");
      stato_.ChiusuraConsentita = true;
      const std::string softxx = rs.Campo("softxx");
      controlli_.NotifyIconCtrl1.ImpostaFumetto(1, std::string(kFumettoTesto),
                                                softxx + " - Aggiornamenti");
      linea = 60;
      orvane::Tacitamente(
          [&] { controlli_.Text1.setText(QString::fromStdString(rs.Campo("downld"))); });
      linea = 70;
      if (ControlliCadenzati()) {
        const int intervallo = IntervalloInMinuti(rs.Campo("FreQue"));
        const auto ultima = LeggiUltima(rs.Campo("ultima"));
        linea = 80;
        // A last check later than now (the clock was put back, or once ran
        // ahead) is due at once, not after the clock has caught up with it.
        // So is one the store holds in another form (written by hand or by
        // another version): only a check writes it again, and stopping the
        // cycle at it would leave every program unchecked for good.
        const long long trascorsi =
            ultima ? MinutiTrascorsi(*ultima, OraLocale(platform::Adesso())) : -1;
        if (trascorsi >= intervallo || trascorsi < 0) {
          // Every session of the user runs a Tervan on this store: the check
          // is taken in the store first, so that two sessions never list and
          // download the same packages side by side. A check that then ends
          // without its time (the session's end, a failure) is given back.
          const std::string letta = rs.Campo("ultima");
          const std::string presa = TestoUltima(OraLocale(platform::Adesso()));
          ConnessioneArchivio& archivio = stato_.Archivio->conAggior();
          archivio.Execute(istruzioni::kSpostaUltima, {presa, softxx, letta});
          if (archivio.RigheCambiate() == 0) continue;
          ConnessioneAggiornamenti(softxx, ModoConnessione::Elenco);
          if (rs.Campo("ultima") == letta)
            archivio.Execute(istruzioni::kSpostaUltima, {letta, softxx, presa});
        }
      } else {
        linea = 90;
        ConnessioneAggiornamenti(softxx, ModoConnessione::Elenco);
      }
    }
    linea = 100;
    rs.Close();
    if (stato_.SessioneFinita) return;
    linea = 110;
    const int righe = elenco_.Righe();
    elenco_.SelezionaPrimoPacchetto();
    if (righe > 0) {
      controlli_.Label4.setText(QString::number(righe / 2) +
                                QStringLiteral(" aggiornamenti in elenco"));
      if (stato_.stato != StatoVassoio::Nascosto) {
        controlli_.NotifyIconCtrl1.MostraFumetto(std::string(kFumettoTesto),
                                                 "Orvane Software - Aggiornamenti", 14500);
      } else {
        linea = 120;
        ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);
      }
    } else {
      ControlliFinestra::Scrivi(controlli_.Label2, "Nessun aggiornamento disponibile");
      controlli_.Label4.clear();
    }
  });
}

void CicloControllo::ConnessioneAggiornamenti(const std::string& softxx, ModoConnessione modo) {
  const EscOccupato esc(*this);
  orvane::Routine(kModulo, "ConnessioneAggiornamenti", [&](int& linea) {
    linea = 10;
    stato_.ServizioCA = std::make_shared<quomaro::clsCA>();
    // This exchange's own reference: a handler run during the wait may
    // replace the window's client.
    const std::shared_ptr<quomaro::clsCA> servizio = stato_.ServizioCA;
    linea = 20;
    controlli_.Text1.setEnabled(false);
    if (modo == ModoConnessione::Elenco) {
      linea = 30;
      {
        const CursoreOccupato cursore;
        stato_.ChiusuraConsentita = false;
        InizioConnessione();
        linea = 40;
        controlli_.Label2.setVisible(true);
        ControlliFinestra::Scrivi(controlli_.Label2,
                                  softxx + " - Download elenco aggiornamenti in corso ...");
        platform::ElaboraMessaggiInAttesa();
        linea = 50;
        const std::string utente = stato_.UtenteCorrente;
        if (!utente.empty()) {
          const std::string verdetto = servizio->RichiestaConnessione(utente);
          linea = 60;
          if (stato_.SessioneFinita) {
            // The session's end cut the exchange short: no verdict to tell.
          } else if (verdetto == "S") {
            elenco_.RiempiGriglia(softxx);
          } else if (verdetto == "N") {
            controlli_.Segnala("Accesso non consentito per l'utente " + utente);
          } else {
            controlli_.Segnala("Impossibile connettersi al server Orvane Software");
          }
        }
        linea = 70;
        FineConnessione();
        linea = 80;
        // A check the session's end cut short leaves the last check's time.
        if (!stato_.SessioneFinita) {
          RecordsetLocale& rs = *stato_.rsAGGIOR;
          rs.Campo("ultima", TestoUltima(OraLocale(platform::Adesso())));
          rs.Update();
        }
      }
      linea = 90;
      stato_.ChiusuraConsentita = true;
      controlli_.Text1.setEnabled(true);
    } else if (modo == ModoConnessione::Scaricamento) {
      linea = 100;
      const ElencoAggiornamenti::Blocco blocco(elenco_);
      if (scaricaAggiornamenti_) scaricaAggiornamenti_();
    }
  });
}

void CicloControllo::InizioConnessione() {
  orvane::Routine(kModulo, "InizioConnessione", [&](int& linea) {
    linea = 10;
    controlli_.finestra.repaint();
  });
}

void CicloControllo::FineConnessione() {
  orvane::Routine(kModulo, "FineConnessione", [&](int& linea) {
    linea = 10;
    controlli_.Label2.setText(
        elenco_.Righe() > 0
            ? QString::fromUtf8(ElencoAggiornamenti::kPronto.data(),
                                static_cast<qsizetype>(ElencoAggiornamenti::kPronto.size()))
            : QStringLiteral("Fine connessione"));
    linea = 20;
    controlli_.Label2.repaint();
    controlli_.Label2.setVisible(true);
  });
}

void CicloControllo::Occupato(const std::function<void()>& lavoro) {
  const EscOccupato esc(*this);
  lavoro();
}

void CicloControllo::Command_F4_Click() {
  if (cicloInCorso_ || elenco_.Bloccato()) return;
  const EscOccupato esc(*this);
  stato_.IdSessione = orvane::clsGUID().CreateGUID("{}-");
  if (stato_.VerificaCompleta) {
    ControlloAggiornamentiORVANE();
  } else {
    if (verificaProgrammi_) verificaProgrammi_();
    if (stato_.VerificaCompleta) ControlloAggiornamentiORVANE();
  }
  if (!stato_.VerificaCompleta)
    ControlliFinestra::Scrivi(controlli_.Label2, "Verifica non completata");
}

}  // namespace tervan
