#include "app/windows.h"
#include "app/login_window.h"
#include "data/data_module.h"
#include "export/excel_export.h"
#include "journal/journal_window.h"
#include "refbooks/norms_grid.h"
#include "refbooks/operation_dialog.h"
#include "refbooks/operations_list.h"
#include "refbooks/operation_kind_dialog.h"
#include "refbooks/operation_kinds_list.h"
#include "refbooks/worker_dialog.h"
#include "refbooks/workers_list.h"

Windows::Windows(TDataModule6& dm, TForm1& form1, TForm23&)
{
    Form2 = std::make_unique<TForm2>(dm, &form1);
    Form5 = std::make_unique<TForm5>(dm, *Form2, &form1);
    Form9 = std::make_unique<TForm9>(dm, &form1);
    Form8 = std::make_unique<TForm8>(dm, *Form9, &form1);

    spreadsheetOpener = std::make_unique<DesktopSpreadsheetOpener>();
    excel = std::make_unique<ExcelApp>(dm.prompts(), *spreadsheetOpener);
    Form10 = std::make_unique<TForm10>(dm, &form1);
    Form10->pickKind = [this](OperationKindPickTarget& target) { Form8->openPick(target); };
    Form22 = std::make_unique<TForm22>(dm, &form1);
    Form4 = std::make_unique<TForm4>(dm, *Form10, *Form22, *excel, &form1);

    form1.wire(form1.N4, [this] { Form4->openBrowse(); });
    form1.wire(form1.N1, [this] { Form5->openBrowse(); });
    form1.wire(form1.N6, [this] { Form8->openBrowse(); });
}

Windows::~Windows() = default;
