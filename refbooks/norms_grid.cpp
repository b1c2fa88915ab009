#include "refbooks/norms_grid.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "data/money.h"
#include "rules/book_norms.h"
#include "ui/guard.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <array>
#include <optional>

namespace {

const QString kNorms = QStringLiteral(
    "select id, o_id, norma, price, prize from accounts_dep.norm where o_id=:o_id order by norma, id");

using norms::Column;
using norms::ColumnCount;
using norms::Norma;
using norms::Price;
using norms::Prize;
const std::array<QString, ColumnCount> kFields = {QStringLiteral("norma"), QStringLiteral("price"), QStringLiteral("prize")};

// A price as the grid shows it (masked) or edits it (general format): from its exact digits.
QString priceText(const QVariant& value, bool masked)
{
    static const formats::Mask priceMask = *formats::Mask::parse(QStringLiteral("#0.00#"));
    const Money price = Money::fromValue(value);
    // Beyond the digits an exact amount keeps (no price comes near): shown from the double.
    if (price.isZero() && value.toDouble() != 0)
        return masked ? priceMask.format(value.toDouble()) : formats::general(value.toDouble());
    // The mask takes a double: the digits are at most 15 significant, so it rounds them as they are.
    return masked ? priceMask.format(price.toDouble()) : formats::general(price);
}

} // namespace

/// The norm rows of one operation as the grid edits them, with at most one new row at the end
/// (id 0) that is not stored yet. A value the user typed that could not be stored stays shown
/// in its cell until it is corrected.
class NormsModel : public QAbstractTableModel {
public:
    struct Row {
        int id = 0;
        norms::Values values;
        std::array<std::optional<QString>, ColumnCount> typed;
        bool touched() const
        {
            for (int c = 0; c < ColumnCount; ++c)
                if (!values[size_t(c)].isNull() || typed[size_t(c)]) return true;
            return false;
        }
    };

    explicit NormsModel(QObject* parent) : QAbstractTableModel(parent) {}

    /// Stores a finished cell; false when the text was refused.
    std::function<bool(int row, int column, const QString& text)> store;

    QList<Row> rows;

    int newRow() const
    {
        for (int r = 0; r < rows.size(); ++r)
            if (rows.at(r).id == 0) return r;
        return -1;
    }
    int storedRows() const { return int(rows.size()) - (newRow() >= 0 ? 1 : 0); }

    void setRows(QList<Row> fresh)
    {
        beginResetModel();
        rows = std::move(fresh);
        endResetModel();
    }
    int appendNew()
    {
        const int at = int(rows.size());
        beginInsertRows({}, at, at);
        rows.append(Row{});
        endInsertRows();
        return at;
    }
    void removeAt(int row)
    {
        beginRemoveRows({}, row, row);
        rows.removeAt(row);
        endRemoveRows();
    }
    void rowChanged(int row) { emit dataChanged(index(row, 0), index(row, ColumnCount - 1)); }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(rows.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= rows.size()) return {};
        const Row& row = rows.at(index.row());
        const size_t c = size_t(index.column());
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole: {
            if (row.typed[c]) return *row.typed[c];
            const QVariant& v = row.values[c];
            if (v.isNull()) return QString();
            if (c != Price) return QString::number(v.toLongLong());
            // Shown with two to three decimals; edited as stored.
            return priceText(v, role == Qt::DisplayRole);
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::ForegroundRole:
            return row.typed[c] ? QVariant(QBrush(Qt::red)) : QVariant();
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole) return {};
        if (orientation == Qt::Horizontal) return section < ColumnCount ? norms::title(section) : QString();
        return section < rows.size() && rows.at(section).id == 0 ? QStringLiteral("*") : QStringLiteral(" ");
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::EditRole || !index.isValid() || !store) return false;
        const QString text = value.toString();
        const Row& row = rows.at(index.row());
        // Leaving a cell as it was stores nothing.
        if (data(index, Qt::EditRole).toString() == text && !row.typed[size_t(index.column())]) return false;
        return store(index.row(), index.column(), text);
    }
};

TForm22::TForm22(TDataModule6& dm, QWidget* parent)
    : QDialog(parent), norm(dm.ADO_DB, kNorms), m_dm(dm), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form22"));
    setWindowTitle(QStringLiteral("Норматив"));
    norm.setObjectName(QStringLiteral("norm"));

    m_model = new NormsModel(this);
    m_model->store = [this](int row, int column, const QString& text) { return storeCell(row, column, text); };

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(m_model);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    DBGrid1->setTabKeyNavigation(true);
    DBGrid1->setShowGrid(true);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->setColumnWidth(Norma, 110);
    DBGrid1->setColumnWidth(Price, 110);
    DBGrid1->setToolTip(QStringLiteral("Новая строка: Insert или стрелка вниз в последней строке"));
    DBGrid1->installEventFilter(this);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                updateDeleteButton();
                // A new row left untouched is dropped once the cursor leaves it.
                if (!previous.isValid() || current.row() == previous.row()) return;
                QMetaObject::invokeMethod(this, [this] {
                    const int fresh = m_model->newRow();
                    if (fresh >= 0 && fresh != DBGrid1->currentIndex().row() && !m_model->rows.at(fresh).touched()) {
                        m_model->removeAt(fresh);
                        updateDeleteButton();
                    }
                }, Qt::QueuedConnection);
            });

    Button1 = new QPushButton(QStringLiteral("Сохранить"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Удалить"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button2Click(); }));

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(Button1);
    bottom->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(bottom);
    setFixedSize(460, 320);
}

void TForm22::openForOperation(int operationId, bool newRow)
{
    m_operationId = operationId;
    m_model->setRows({});
    reload(0);
    if (newRow || m_model->rows.isEmpty()) startNewRow();
    exec();
}

void TForm22::reload(int keepId, int keepRow)
{
    norm.close();
    norm.setParam(QStringLiteral("o_id"), m_operationId);
    norm.open();
    QList<NormsModel::Row> rows;
    int current = -1;
    for (int r = 0; r < norm.recordCount(); ++r) {
        NormsModel::Row row;
        row.id = int(Dataset::toLongLong(norm.valueAt(r, QStringLiteral("id"))));
        for (int c = 0; c < ColumnCount; ++c) row.values[size_t(c)] = norm.valueAt(r, kFields[size_t(c)]);
        if (row.id == keepId) current = r;
        rows.append(row);
    }
    // A begun new row stays at the end.
    if (const int fresh = m_model->newRow(); fresh >= 0) rows.append(m_model->rows.at(fresh));
    const int column = std::max(0, DBGrid1->currentIndex().column());
    m_model->setRows(rows);
    if (!rows.isEmpty()) {
        if (current < 0) current = std::clamp(keepRow, 0, int(rows.size()) - 1);
        DBGrid1->setCurrentIndex(m_model->index(current, column));
    }
    updateDeleteButton();
}

void TForm22::startNewRow()
{
    int row = m_model->newRow();
    if (row < 0) row = m_model->appendNew();
    DBGrid1->setCurrentIndex(m_model->index(row, Norma));
    updateDeleteButton();
}

bool TForm22::storeCell(int row, int column, const QString& text)
{
    NormsModel::Row& r = m_model->rows[row];
    // Messages wait until the cell's editor has closed: a box over an open editor would take
    // its focus and finish the edit a second time.
    auto tell = [this](const QString& message) {
        QMetaObject::invokeMethod(this, [this, message] { m_prompts.error(message, QStringLiteral("Ошибка")); },
                                  Qt::QueuedConnection);
    };
    norms::CellOutcome stored;
    try {
        stored = norms::storeCell(m_dm.ADO_DB, m_operationId, r.id, r.values, column, text);
    } catch (const DbError& e) {
        r.typed[size_t(column)] = text;
        m_model->rowChanged(row);
        tell(e.text());
        return false;
    }
    switch (stored.kind) {
    case norms::CellOutcome::Refused:
        r.typed[size_t(column)] = text;
        m_model->rowChanged(row);
        tell(stored.message);
        return false;
    case norms::CellOutcome::OperationGone:
        tell(stored.message);
        QMetaObject::invokeMethod(this, [this] {
            if (const int fresh = m_model->newRow(); fresh >= 0) m_model->removeAt(fresh);
            reload(0);
        }, Qt::QueuedConnection);
        return false;
    case norms::CellOutcome::NormGone:
        tell(stored.message);
        QMetaObject::invokeMethod(this, [this] { reload(0); }, Qt::QueuedConnection);
        return false;
    case norms::CellOutcome::Stored:
        r.id = stored.id;
        break;
    case norms::CellOutcome::Kept:
        break;
    }
    r.typed[size_t(column)].reset();
    m_model->rowChanged(row);
    emit m_model->headerDataChanged(Qt::Vertical, row, row);
    updateDeleteButton();
    return true;
}

void TForm22::finishEditing()
{
    QWidget* editor = DBGrid1->indexWidget(DBGrid1->currentIndex());
    if (!editor) return;
    emit DBGrid1->itemDelegate()->commitData(editor);
    emit DBGrid1->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TForm22::updateDeleteButton()
{
    const int current = DBGrid1->currentIndex().row();
    const bool onNewRow = current >= 0 && current == m_model->newRow();
    Button2->setEnabled(onNewRow || m_model->storedRows() > 1);
}

void TForm22::Button1Click()
{
    finishEditing();
    if (const int fresh = m_model->newRow(); fresh >= 0) {
        if (m_model->rows.at(fresh).touched()) {
            DBGrid1->setCurrentIndex(m_model->index(fresh, Price));
            m_prompts.error(QStringLiteral("Новая норма не записана: укажите её цену или удалите строку кнопкой "
                                           "«Удалить»."),
                            QStringLiteral("Ошибка"));
            return;
        }
        m_model->removeAt(fresh);
    }
    // The operations list shows the new lowest price and number of norms.
    if (m_dm.Oper.isOpen()) {
        const int recNo = m_dm.Oper.recNo();
        m_dm.Oper.close();
        m_dm.Oper.open();
        if (recNo > 0) m_dm.Oper.setRecNo(recNo);
    }
    accept();
}

void TForm22::Button2Click()
{
    finishEditing();
    const int current = DBGrid1->currentIndex().row();
    if (current < 0) return;
    if (current == m_model->newRow()) {
        m_model->removeAt(current);
        updateDeleteButton();
        return;
    }
    norms::deleteNorm(m_dm.ADO_DB, m_model->rows.at(current).id, m_operationId);
    reload(0, current);
}

void TForm22::reject()
{
    // Escape and the close box save, as "Сохранить" does.
    runGuarded(m_prompts, [this] { Button1Click(); });
}

void TForm22::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    DBGrid1->setFocus(Qt::OtherFocusReason);
}

bool TForm22::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int current = DBGrid1->currentIndex().row();
        const bool onLast = current == m_model->rowCount() - 1;
        if (key->key() == Qt::Key_Insert
            || (key->key() == Qt::Key_Down && onLast && current != m_model->newRow())) {
            startNewRow();
            return true;
        }
        // Ctrl+Delete in the grid deletes as "Удалить" does, once the user confirms; a begun
        // new row goes without a question, the last norm is not offered.
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier) {
            if (Button2->isEnabled()
                && (current == m_model->newRow()
                    || m_prompts.question(QStringLiteral("Удалить норму?"), QStringLiteral("Удаление"))))
                runGuarded(m_prompts, [this] { Button2Click(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
