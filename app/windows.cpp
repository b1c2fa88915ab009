#include "app/windows.h"
#include "app/login_window.h"
#include "data/data_module.h"
#include "export/excel_export.h"
#include "journal/brigade_dialog.h"
#include "journal/entry_search_window.h"
#include "journal/history_window.h"
#include "journal/journal_window.h"
#include "journal/utility_works_dialog.h"
#include "journal/utility_works_register.h"
#include "refbooks/norms_grid.h"
#include "refbooks/operation_dialog.h"
#include "refbooks/operations_list.h"
#include "journal/shift_entry_dialog.h"
#include "refbooks/operation_kind_dialog.h"
#include "refbooks/operation_kinds_list.h"
#include "refbooks/group_dialog.h"
#include "refbooks/groups_list.h"
#include "refbooks/product_dialog.h"
#include "refbooks/products_list.h"
#include "refbooks/worker_dialog.h"
#include "refbooks/workers_list.h"
#include "reports/month_summary_window.h"
#include "reports/reports_hub.h"
#include "reports/time_timesheet_report.h"
#include "timesheets/month_closing.h"
#include "timesheets/piecework_timesheet.h"
#include "timesheets/time_timesheet.h"
#include "ui/data_grid.h"

#include <QAction>
#include <QPushButton>

Windows::Windows(TDataModule6& dm, TForm1& form1, TForm23& form23, const QString& spreadsheetProgram)
{
    Form2 = std::make_unique<TForm2>(dm, &form1);
    Form5 = std::make_unique<TForm5>(dm, *Form2, &form1);
    Form9 = std::make_unique<TForm9>(dm, &form1);
    Form8 = std::make_unique<TForm8>(dm, *Form9, &form1);
    Form7 = std::make_unique<TForm7>(dm, &form1);
    Form3 = std::make_unique<TForm3>(dm, *Form7, &form1);
    Form29 = std::make_unique<TForm29>(dm, &form1);
    Form26 = std::make_unique<TForm26>(dm, *Form29, &form1);

    Opener = std::make_unique<DesktopSpreadsheetOpener>(spreadsheetProgram);
    operationsExcel = std::make_unique<ExcelApp>(dm.prompts(), *Opener);
    Form10 = std::make_unique<TForm10>(dm, &form1);
    Form10->pickProduct = [this](ProductPickTarget& target) { Form3->openPick(target); };
    Form10->pickKind = [this](OperationKindPickTarget& target) { Form8->openPick(target); };
    Form22 = std::make_unique<TForm22>(dm, &form1);
    Form4 = std::make_unique<TForm4>(dm, *Form10, *Form22, *operationsExcel, &form1);

    form1.wire(form1.N4, [this] { Form4->openBrowse(); });

    Form11 = std::make_unique<TForm11>(dm, form1, &form1);
    Form11->openWorkerPick = [this](WorkerPickTarget& target) { Form5->openPick(1, target); };
    Form11->openOperationPick = [this](OperationPickTarget& target, int operationId) { Form4->openPick(target, operationId); };
    form1.Form11 = Form11.get();

    form1.wire(form1.N1, [this] { Form5->openBrowse(); });
    form1.wire(form1.Button1, [&form1] { form1.Button1Click(); });
    form1.wire(form1.Button2, [&form1] { form1.Button2Click(); });
    form1.wire(form1.N6, [this] { Form8->openBrowse(); });
    form1.wire(form1.N3, [this] { Form3->openBrowse(); });
    form1.wire(form1.N8, [this] { Form26->openBrowse(); });

    Excel = std::make_unique<ExcelApp>(dm.prompts(), *Opener);
    Form18 = std::make_unique<TForm18>(dm, *Excel, &form1);
    form23.addRestrictedWindow(QStringLiteral("Form18"), Form18.get());
    Form35 = std::make_unique<TForm35>(dm, &form1);
    form23.onRoleChosen = [this](access_rights::Role role) {
        Form18->holdToRole(role);
        Form35->holdToRole(role);
    };
    form1.wire(form1.N10, [this, &form1] { Form18->openFromMenu(form1.today()); });

    timesheetExcel = std::make_unique<ExcelApp>(dm.prompts(), *Opener);
    Form15 = std::make_unique<TForm15>(dm);
    Form19 = std::make_unique<TForm19>(dm, *timesheetExcel, *Form15, &form1);
    Form27 = std::make_unique<TForm27>(dm, *Opener, ExcelApp::defaultFolder(), &form1);
    form1.wire(form1.N13, [this, &form1] { Form19->openFor(form1.date()); });
    form1.wire(form1.N9, [this] { Form27->openMode(piecework_mode::kPiecework); });
    form1.wire(form1.N14, [this] { Form27->openMode(piecework_mode::kUtilityWorks); });
    form1.wire(form1.N15, [this] { Form27->openMode(piecework_mode::kAveragePiecework); });
    form1.wire(form1.N17, [this] { Form27->openMode(piecework_mode::kGeneral); });
    Form32 = std::make_unique<TForm32>(dm, &form1);
    Form31 = std::make_unique<TForm31>(dm, *Form32, &form1);
    form1.wire(form1.N19, [this, &form1] { Form32->openFor(form1.date()); });
    form1.wire(form1.N18, [this, &form1] { Form31->openFor(form1.today()); });

    Form25 = std::make_unique<TForm25>(dm, &form1);
    Form24 = std::make_unique<TForm24>(dm, *Form25, &form1);
    Form25->Form24 = Form24.get();
    Form24->pickWorker = [this](WorkerPickTarget& target) { Form5->openPick(24, target); };
    Form24->pickGroup = [this](GroupPickTarget& target) { Form26->openPick(target); };
    form1.wire(form1.Button5, [this, &form1] { Form25->openFor(form1.date()); });

    historyExcel = std::make_unique<ExcelApp>(dm.prompts(), *Opener);
    Form30 = std::make_unique<TForm30>(dm, *historyExcel, &form1);
    form1.Form30 = Form30.get();
    Form25->Form30 = Form30.get();
    form1.wire(form1.N20, [this, &form1] { Form30->openForPeriod(form1.today()); });

    Form33 = std::make_unique<TForm33>(dm, &form1);
    Form33->openOperationPick = [this](OperationPickTarget& target, int operationId) { Form4->openPick(target, operationId); };
    form1.Form33 = Form33.get();
    form1.BrigadeButton->setEnabled(true);
    searchExcel = std::make_unique<ExcelApp>(dm.prompts(), *Opener);
    Form34 = std::make_unique<TForm34>(dm, *searchExcel, form1.DBGrid2->gridModel()->columns(), &form1);
    form1.Form34 = Form34.get();
    form1.FindEntriesAction->setEnabled(true);
    // A day clicked in the month's summary is shown in the journal.
    form1.wire(form1.SummaryAction, [this, &form1] {
        if (const auto place = Form35->openFor(form1.today())) form1.goToEntry(0, place->day, place->shift);
    });
}

Windows::~Windows() = default;
