#include "app/windows.h"
#include "app/login_window.h"
#include "data/data_module.h"
#include "journal/journal_window.h"
#include "journal/shift_entry_dialog.h"
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

    Form11 = std::make_unique<TForm11>(dm, form1, &form1);
    Form11->openWorkerPick = [this](WorkerPickTarget& target) { Form5->openPick(1, target); };
    form1.Form11 = Form11.get();

    form1.wire(form1.N1, [this] { Form5->openBrowse(); });
    form1.wire(form1.Button1, [&form1] { form1.Button1Click(); });
    form1.wire(form1.Button2, [&form1] { form1.Button2Click(); });
    form1.wire(form1.N6, [this] { Form8->openBrowse(); });
}

Windows::~Windows() = default;
