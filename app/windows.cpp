#include "app/windows.h"
#include "app/login_window.h"
#include "data/data_module.h"
#include "journal/journal_window.h"
#include "refbooks/operation_kind_dialog.h"
#include "refbooks/operation_kinds_list.h"
#include "refbooks/group_dialog.h"
#include "refbooks/groups_list.h"
#include "refbooks/product_dialog.h"
#include "refbooks/products_list.h"
#include "refbooks/worker_dialog.h"
#include "refbooks/workers_list.h"

Windows::Windows(TDataModule6& dm, TForm1& form1, TForm23&)
{
    Form2 = std::make_unique<TForm2>(dm, &form1);
    Form5 = std::make_unique<TForm5>(dm, *Form2, &form1);
    Form9 = std::make_unique<TForm9>(dm, &form1);
    Form8 = std::make_unique<TForm8>(dm, *Form9, &form1);
    Form7 = std::make_unique<TForm7>(dm, &form1);
    Form3 = std::make_unique<TForm3>(dm, *Form7, &form1);
    Form29 = std::make_unique<TForm29>(dm, &form1);
    Form26 = std::make_unique<TForm26>(dm, *Form29, &form1);

    form1.wire(form1.N1, [this] { Form5->openBrowse(); });
    form1.wire(form1.N6, [this] { Form8->openBrowse(); });
    form1.wire(form1.N3, [this] { Form3->openBrowse(); });
    form1.wire(form1.N8, [this] { Form26->openBrowse(); });
}

Windows::~Windows() = default;
