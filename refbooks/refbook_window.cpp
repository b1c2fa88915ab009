#include "refbooks/refbook_window.h"
#include "data/dataset.h"
#include "ui/data_grid.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

RefBookWindow::RefBookWindow(Prompts& prompts, const QString& objectName, const QString& caption,
                             RefBookConfig config, Handlers handlers, QWidget* parent)
    : QDialog(parent), m_prompts(prompts)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    config.add = std::move(handlers.add);
    config.change = std::move(handlers.change);
    config.remove = std::move(handlers.remove);
    m_list = new RefBookList(this, m_prompts, std::move(config));
    DBGrid1 = m_list->grid();
    Edit1 = m_list->search();
    Edit1->setAccessibleName(QStringLiteral("Поиск"));
    Button1 = findChild<QPushButton*>(QStringLiteral("Button1"));
    Button2 = findChild<QPushButton*>(QStringLiteral("Button2"));
    Button3 = findChild<QPushButton*>(QStringLiteral("Button3"));
    Button4 = findChild<QPushButton*>(QStringLiteral("Button4"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
}

void RefBookWindow::openBrowse()
{
    Dataset& ds = m_list->dataset();
    m_list->prepareBrowse();
    if (m_list->config().browseLiftsFilter) ds.setFiltered(false);
    ds.open();
    const auto closeQuery = qScopeGuard([&ds] { ds.close(); });
    exec();
}

void RefBookWindow::runPick(int tag, RefBookList::HandBack handBack)
{
    Dataset& ds = m_list->dataset();
    m_list->preparePick(tag, std::move(handBack));
    const auto afterwards = qScopeGuard([this, &ds] {
        m_list->finishPick();
        ds.close();
    });
    ds.open();
    exec();
}

void RefBookWindow::runPick(int tag, QLineEdit& name, int& id)
{
    const RefBookConfig::Pick& style = m_list->config().pick;
    runPick(tag, [&name, &id, field = style.nameField, trim = style.trimName](const Dataset& row) {
        const QString text = row.asString(field);
        name.setText(trim ? text.trimmed() : text);
        id = row.asInt(QStringLiteral("id"));
    });
}

void RefBookWindow::runDialog(const std::function<bool()>& open, bool keepRow)
{
    const int recNo = m_list->dataset().recNo();
    if (open()) m_list->reopen(keepRow ? recNo : 0);
}
