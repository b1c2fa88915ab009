#include "app/windows.h"
#include "app/login_window.h"
#include "data/data_module.h"
#include "journal/journal_window.h"
#include "refbooks/operation_kind_dialog.h"
#include "refbooks/operation_kinds_list.h"
#include "refbooks/worker_dialog.h"
#include "refbooks/workers_list.h"
#include "export/excel_export.h"
#include "reports/reports_hub.h"

Windows::Windows(TDataModule6& dm, TForm1& form1, TForm23& form23)
{
    Form2 = std::make_unique<TForm2>(dm, &form1);
    Form5 = std::make_unique<TForm5>(dm, *Form2, &form1);
    Form9 = std::make_unique<TForm9>(dm, &form1);
    Form8 = std::make_unique<TForm8>(dm, *Form9, &form1);

    form1.wire(form1.N1, [this] { Form5->openBrowse(); });
    form1.wire(form1.N6, [this] { Form8->openBrowse(); });

    Opener = std::make_unique<DesktopSpreadsheetOpener>();
    Excel = std::make_unique<ExcelApp>(dm.prompts(), *Opener);
    Form18 = std::make_unique<TForm18>(dm, *Excel, &form1);
    form23.addRestrictedWindow(QStringLiteral("Form18"), Form18.get());
    form23.onRoleChosen = [this](access_rights::Role role) { Form18->holdToRole(role); };
    form1.wire(form1.N10, [this, &form1] { Form18->openFromMenu(form1.today()); });
}

Windows::~Windows() = default;
