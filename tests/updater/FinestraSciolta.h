#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "updater/ControlliFinestra.h"
#include "updater/NotifyIconCtrl.h"

namespace tervan::test {

/// The controls that the check cycle, the update list and the download run
/// use, as loose widgets with no window around them, and the
/// ControlliFinestra that hands them over. Shared by the test bench and the
/// fill benchmark.
struct FinestraSciolta {
  QWidget finestra;
  QCheckBox Check1;
  QLabel Label3;
  QComboBox Combo1;
  QLineEdit Text1;
  QTableWidget grdAggior;
  QLabel Label2, Label4, Label1;
  QProgressBar vbalProg;
  QPushButton Command_Nas, Command_Esc;
  NotifyIconCtrl tray{QIcon()};
  ControlliFinestra controlli{.finestra = finestra,
                              .Check1 = Check1,
                              .Label3 = Label3,
                              .Combo1 = Combo1,
                              .Text1 = Text1,
                              .grdAggior = grdAggior,
                              .Label2 = Label2,
                              .Label4 = Label4,
                              .Label1 = Label1,
                              .vbalProg = vbalProg,
                              .Command_Nas = Command_Nas,
                              .Command_Esc = Command_Esc,
                              .NotifyIconCtrl1 = tray};
};

}  // namespace tervan::test
