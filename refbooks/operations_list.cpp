#include "refbooks/operations_list.h"
#include "data/codes.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "export/excel_export.h"
#include "refbooks/norms_grid.h"
#include "refbooks/operation_dialog.h"
#include "refbooks/pick_targets.h"
#include "rules/book_writes.h"
#include "refbooks/refbook_list.h"
#include "ui/data_grid.h"
#include "ui/guard.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

const QString sql::XLS_Rep = QStringLiteral(
    "select izdel.MARKA, vid_oper.VID, oper.NAIMEN,(SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn, oper.CENA_new as cena, oper.id, oper.i_id,\n"
    " oper.VID as oper_vid from accounts_dep.OPER,accounts_dep.IZDEL,accounts_dep.VID_OPER where OPER.i_id=IZDEL.id \n"
    "and oper.vid=vid_oper.id order by izdel.marka, vid_oper.vid, oper.naimen");

namespace {

// The operations query with the operations that have no norm yet (no price, 0 norms): the
// reference book lists them while "Цены" is ticked, so that their first norm can be entered.
const QString kOperWithoutNorms = QStringLiteral(
    "select izdel.MARKA, vid_oper.VID, oper.NAIMEN, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn,\n"
    "count(norm.o_id) norma, min(norm.price)::numeric cena,\n"
    "oper.id, oper.i_id, oper.VID as oper_vid from accounts_dep.OPER join accounts_dep.IZDEL on OPER.i_id=IZDEL.id\n"
    "join accounts_dep.VID_OPER on oper.vid=vid_oper.id left join accounts_dep.norm on norm.o_id=oper.id\n"
    "group by izdel.MARKA, vid_oper.VID, oper.NAIMEN, oper.id, oper.i_id, oper.VID order by izdel.marka, vid_oper.vid, oper.naimen");


const QString kExcelCaption = QStringLiteral("Excel");

} // namespace

int writeOperationsSheet(const QSqlDatabase& db, ExcelApp& excel,
                         const std::function<void(int written, int total)>& progress)
{
    Dataset XLS_Rep(db, sql::XLS_Rep);
    XLS_Rep.open();
    if (excel.OpenExcel(QString()) == -1) return -1;
    excel.SetExcelNumberFormat(1, 3, excel_table::kMoney);
    const QStringList headings = {QStringLiteral("Марка"), QStringLiteral("Операция"), QStringLiteral("Цена"), QStringLiteral("Вид")};
    for (int c = 0; c < headings.size(); ++c) excel.WriteExcelCell(1, c + 1, 1, headings.at(c), false, false, true);
    const int total = XLS_Rep.recordCount();
    const int marka = XLS_Rep.fieldIndex(QStringLiteral("marka"));
    const int vid = XLS_Rep.fieldIndex(QStringLiteral("vid"));
    const int cena = XLS_Rep.fieldIndex(QStringLiteral("cena"));
    const int naimen = XLS_Rep.fieldIndex(QStringLiteral("naimen"));
    for (int r = 0; r < total; ++r) {
        const int row = r + 2;
        excel.WriteExcelCell(1, 1, row, Dataset::toText(XLS_Rep.valueAt(r, marka)));
        excel.WriteExcelCell(1, 2, row, Dataset::toText(XLS_Rep.valueAt(r, vid)));
        excel.WriteExcelCell(1, 3, row, formats::general(XLS_Rep.valueAt(r, cena), true));
        excel.WriteExcelCell(1, 4, row, codes::productKindText(int(Dataset::toLongLong(XLS_Rep.valueAt(r, naimen)))));
        if (progress) progress(r + 1, total);
    }
    excel_table::finish(excel, 1, 4, total + 1);
    excel.SetExcelVisible(true);
    return total;
}

TForm4::TForm4(TDataModule6& dm, TForm10& form10, TForm22& form22, ExcelApp& excel, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_form10(form10), m_form22(form22), m_excel(excel), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Операции"));
    setSizeGripEnabled(true);

    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    RefBookConfig config;
    config.dataset = &dm.Oper;
    config.columns = {
        {.field = QStringLiteral("marka"), .title = QStringLiteral("Марка"), .width = 180},
        {.field = QStringLiteral("vid"), .title = QStringLiteral("Опреция"), .width = 200},
        {.field = QStringLiteral("cena"), .title = QStringLiteral("Цена (min)"), .alignment = right, .width = 90},
        {.field = QStringLiteral("nmn"), .title = QStringLiteral("Вид"), .width = 140},
        {.field = QStringLiteral("id"), .hidden = true},
        {.field = QStringLiteral("i_id"), .hidden = true},
        {.field = QStringLiteral("oper_vid"), .hidden = true},
        {.field = QStringLiteral("norma"), .title = QStringLiteral("Нормы (шт.)"), .alignment = right, .width = 90},
    };
    config.searchField = QStringLiteral("marka");
    config.match = RefBookConfig::Match::Contains;
    config.blankSearchShowsAll = true;
    config.add = [this] { Button1Click(); };
    config.change = [this] { Button2Click(); };
    config.remove = [this] { Button3Click(); };
    config.doubleClick = [this] { DBGrid1DblClick(); };
    m_list = new RefBookList(this, m_prompts, std::move(config));

    DBGrid1 = m_list->grid();
    Edit1 = m_list->search();
    Button1 = m_list->button(RefBookConfig::Button::Add);
    Button2 = m_list->button(RefBookConfig::Button::Change);
    Button3 = m_list->button(RefBookConfig::Button::Delete);
    Button4 = m_list->exitButton();

    Button5 = new QPushButton(kExcelCaption);
    Button5->setObjectName(QStringLiteral("Button5"));
    Button5->setAutoDefault(false);
    m_list->addToBar(Button5);
    CheckBox1 = new QCheckBox(QStringLiteral("Цены"));
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    m_list->addToBar(CheckBox1);

    connect(Button5, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button5Click(); }));
    connect(CheckBox1, &QCheckBox::toggled, this, guarded(m_prompts, [this] { CheckBox1Click(); }));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    resize(860, 520);
}

void TForm4::openBrowse()
{
    m_list->prepareBrowse();
    // The list is long: it is searched by mark also when browsed.
    m_list->resetSearch();
    // Whoever opens Oper next gets the shared text again.
    const auto closeOper = qScopeGuard([this] {
        m_dm.Oper.close();
        useOperQuery(false);
    });
    useOperQuery(CheckBox1->isChecked());
    m_dm.Oper.open();
    exec();
}

void TForm4::openPick(OperationPickTarget& target, int operationId)
{
    useOperQuery(false);
    m_dm.Oper.open();
    const auto afterwards = qScopeGuard([this] {
        m_list->setHandBack(nullptr);
        m_list->setChangeDefault(false);
        m_list->hideSearch();
        m_dm.Oper.setFiltered(false);
    });
    m_list->preparePick(1, [&target](const Dataset& oper) {
        PickedOperation picked;
        picked.id = oper.asInt(QStringLiteral("id"));
        picked.productId = oper.asInt(QStringLiteral("i_id"));
        picked.naimen = oper.asInt(QStringLiteral("naimen"));
        picked.vid = oper.asString(QStringLiteral("vid"));
        picked.basePrice = oper.asString(QStringLiteral("cena"));
        target.takeOperation(picked);
    });
    if (operationId == 0 || !m_dm.Oper.locate(QStringLiteral("id"), operationId)) m_dm.Oper.first();
    exec();
}

void TForm4::useOperQuery(bool withoutNorms)
{
    const QString& text = withoutNorms ? kOperWithoutNorms : sql::Oper;
    if (m_dm.Oper.sql() != text) m_dm.Oper.setSql(text);
}

void TForm4::reopenOnOperation(int id)
{
    m_dm.Oper.close();
    m_dm.Oper.open();
    if (!m_dm.Oper.locate(QStringLiteral("id"), id)) m_dm.Oper.first();
}

void TForm4::CheckBox1Click()
{
    // The picker offers only operations with norms, whatever the box says.
    if (m_list->picking() || !m_dm.Oper.isOpen()) return;
    const int id = m_dm.Oper.asInt(QStringLiteral("id"));
    useOperQuery(CheckBox1->isChecked());
    reopenOnOperation(id);
}

void TForm4::Button1Click()
{
    const int id = m_form10.openForAdd();
    if (id == 0) return;
    // A new operation has no norm yet: its first one is entered right away.
    m_form22.openForOperation(id, true);
    if (m_dm.Oper.isOpen()) m_dm.Oper.locate(QStringLiteral("id"), id);
}

void TForm4::Button2Click() { m_form10.openForChange(m_dm.Oper); }

void TForm4::Button3Click()
{
    if (!m_prompts.question(QStringLiteral("Удалить операцию?"), QStringLiteral("Удаление"))) return;
    const books::Outcome deleted = books::deleteOperation(m_dm.ADO_DB, m_dm.Oper.asInt(QStringLiteral("id")));
    if (!deleted.written()) m_prompts.error(deleted.message, deleted.title);
    // An operation still in use stays where it is, the list as it was.
    if (deleted.kind == books::Outcome::InUse) return;
    m_list->reopen();
}

void TForm4::Button5Click()
{
    Button5->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([this] {
        QApplication::restoreOverrideCursor();
        Button5->setText(kExcelCaption);
        Button5->setEnabled(true);
    });
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    writeOperationsSheet(m_dm.ADO_DB, m_excel, [&](int done, int total) {
        // The caption follows the rows, repainted a few times a second rather than every row.
        if (done < total && sinceRepaint.elapsed() < 100) return;
        sinceRepaint.restart();
        Button5->setText(QStringLiteral("Excel (%1 из %2)").arg(done).arg(total));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
}

void TForm4::DBGrid1DblClick()
{
    if (!CheckBox1->isChecked() || m_list->picking()) {
        m_list->changeOrPick();
        return;
    }
    if (m_dm.Oper.isEmpty()) return;
    m_form22.openForOperation(m_dm.Oper.asInt(QStringLiteral("id")));
}
