#include "refbooks/refbook_list.h"
#include "data/dataset.h"
#include "data/prompts.h"
#include "ui/data_grid.h"
#include "ui/guard.h"

#include <QDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

RefBookList::RefBookList(QDialog* window, Prompts& prompts, RefBookConfig config)
    : QWidget(window), m_window(window), m_prompts(prompts), m_config(std::move(config))
{
    Q_ASSERT(m_config.dataset);
    if (!m_config.doubleClick) m_config.doubleClick = [this] { changeOrPick(); };

    m_model = new GridModel(m_config.dataset, m_config.columns, this);
    m_grid = new DataGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setGridModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->horizontalHeader()->setStretchLastSection(true);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("Edit1"));
    m_search->setPlaceholderText(QStringLiteral("Поиск"));
    m_search->setFrame(false);
    m_search->installEventFilter(this);

    auto makeButton = [this](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    m_bar = new QHBoxLayout;
    for (const auto& [which, name] : m_config.buttons) {
        QPushButton* b = nullptr;
        switch (which) {
        case RefBookConfig::Button::Add: b = m_add = makeButton(name, QStringLiteral("Добавить")); break;
        case RefBookConfig::Button::Change: b = m_change = makeButton(name, QStringLiteral("Изменить")); break;
        case RefBookConfig::Button::Delete: b = m_delete = makeButton(name, QStringLiteral("Удалить")); break;
        }
        m_bar->addWidget(b);
    }
    m_barInsertAt = m_bar->count();
    m_exit = makeButton(m_config.exitButton, QStringLiteral("Выход"));
    m_bar->addSpacing(12);
    if (m_config.searchAboveButtons) m_bar->addStretch(1);
    else m_bar->addWidget(m_search, 1);
    m_bar->addWidget(m_exit);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_grid, 1);
    if (m_config.searchAboveButtons) column->addWidget(m_search);
    column->addLayout(m_bar);
    m_search->setVisible(m_config.searchVisible);

    if (m_add && m_config.addIsDefault) m_add->setDefault(true);

    connect(m_search, &QLineEdit::textChanged, this, guarded(m_prompts, [this] { Edit1Change(); }));
    if (m_add)
        connect(m_add, &QPushButton::clicked, this, guarded(m_prompts, [this] {
                    if (m_config.add) m_config.add();
                }));
    if (m_change) connect(m_change, &QPushButton::clicked, this, guarded(m_prompts, [this] { changeOrPick(); }));
    if (m_delete)
        connect(m_delete, &QPushButton::clicked, this, guarded(m_prompts, [this] {
                    if (m_config.remove && !dataset().isEmpty()) m_config.remove();
                }));
    connect(m_exit, &QPushButton::clicked, this, [this] { closeWindow(); });
    m_grid->actAs(m_add, m_change, m_delete, nullptr);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, guarded(m_prompts, [this] { m_config.doubleClick(); }));

    m_window->installEventFilter(this);
}

QPushButton* RefBookList::button(RefBookConfig::Button which) const
{
    switch (which) {
    case RefBookConfig::Button::Add: return m_add;
    case RefBookConfig::Button::Change: return m_change;
    case RefBookConfig::Button::Delete: return m_delete;
    }
    return nullptr;
}

void RefBookList::addToBar(QWidget* widget)
{
    widget->setParent(this);
    m_bar->insertWidget(m_barInsertAt++, widget);
}

void RefBookList::prepareBrowse()
{
    Tag = 0;
    // A search typed while picking is not left on the book (one typed in the book stays).
    if (std::exchange(m_searchedInPick, false) && !m_search->text().isEmpty()) m_search->clear();
    m_handBack = nullptr;
    setChangeCaption(QStringLiteral("Изменить"));
    setChangeDefault(false);
    setEditButtonsVisible(true);
}

void RefBookList::preparePick(int tag, HandBack handBack)
{
    Q_ASSERT(tag != 0);
    Tag = tag;
    m_searchedInPick = true;
    m_handBack = std::move(handBack);
    setChangeCaption(QStringLiteral("Выбрать"));
    if (m_change) m_change->setVisible(true);
    if (m_config.pick.changeDefault) setChangeDefault(true);
    setEditButtonsVisible(false);
    if (m_config.pick.resetSearch) resetSearch();
    if (!m_config.pick.filter.isEmpty()) {
        dataset().setFilterText(m_config.pick.filter);
        dataset().setFiltered(true);
    }
}

void RefBookList::finishPick()
{
    m_handBack = nullptr;
    setChangeDefault(false);
    setEditButtonsVisible(true);
    if (!m_config.pick.filter.isEmpty()) dataset().setFiltered(false);
    if (m_config.pick.hideSearchAfter) hideSearch();
}

void RefBookList::setChangeCaption(const QString& caption)
{
    if (m_change) m_change->setText(caption);
}

void RefBookList::setChangeDefault(bool on)
{
    if (!m_change) return;
    m_change->setDefault(on);
    // A dialog has one default button: making the change button default took it from "Добавить".
    if (!on && m_add && m_config.addIsDefault) m_add->setDefault(true);
}

void RefBookList::setEditButtonsVisible(bool on)
{
    if (m_add) m_add->setVisible(on);
    if (m_delete) m_delete->setVisible(on);
}

void RefBookList::resetSearch()
{
    m_search->setVisible(true);
    m_search->clear();
    // Clearing an already empty field changes nothing, but the filter must follow the field.
    Edit1Change();
}

void RefBookList::hideSearch() { m_search->setVisible(false); }

void RefBookList::Edit1Change()
{
    Dataset& ds = dataset();
    const QString text = m_search->text();
    const bool empty = m_config.blankSearchShowsAll ? text.trimmed().isEmpty() : text.isEmpty();
    if (empty) {
        ds.setFiltered(false);
        return;
    }
    ds.setFilter(RowFilter::like(m_config.searchField, text, m_config.match == RefBookConfig::Match::Contains));
    ds.setFiltered(true);
}

void RefBookList::changeOrPick()
{
    if (picking()) {
        if (!dataset().isEmpty() && m_handBack) m_handBack(dataset());
        closeWindow();
        return;
    }
    if (m_config.change && !dataset().isEmpty()) m_config.change();
}

void RefBookList::closeWindow() { m_window->close(); }

void RefBookList::reopen(int keepRecNo)
{
    Dataset& ds = dataset();
    ds.close();
    ds.open();
    if (keepRecNo > 0 && keepRecNo <= ds.recordCount()) ds.setRecNo(keepRecNo);
}

bool RefBookList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Show) {
        if (m_search->isVisibleTo(m_window)) m_search->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (watched == m_search && event->type() == QEvent::KeyPress) return searchKeyPress(static_cast<QKeyEvent*>(event));
    return false;
}

bool RefBookList::searchKeyPress(QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Up:
        dataset().prior();
        return true;
    case Qt::Key_Down:
        dataset().next();
        return true;
    default:
        break;
    }
    if (m_config.searchKeys == RefBookConfig::SearchKeys::UpDownOnly) return false;
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    default:
        break;
    }
    if (key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut)
        || key->matches(QKeySequence::Undo))
        return false;
    const QString text = key->text();
    const bool types = !text.isEmpty() && text.at(0).isPrint() && !(key->modifiers() & Qt::ControlModifier);
    return !types;
}
