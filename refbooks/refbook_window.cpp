#include "refbooks/refbook_window.h"
#include "data/dataset.h"
#include "ui/data_grid.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

RefBookWindow::RefBookWindow(Prompts& prompts, const QString& objectName, const QString& caption,
                             RefBookConfig config, QWidget* parent)
    : QDialog(parent), m_prompts(prompts)
{
    setObjectName(objectName);
    setWindowTitle(caption);
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

void RefBookWindow::runBrowse()
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
