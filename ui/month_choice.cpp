#include "ui/month_choice.h"
#include "data/dataset.h"
#include "ui/window_memory.h"

#include <QComboBox>
#include <algorithm>

const QString kQ_year = QStringLiteral("select distinct ht.year from accounts_dep.h_tabel ht order by year");

void fillYearChoice(QComboBox* years, Dataset& q_year, int thisYear)
{
    q_year.close();
    q_year.open();
    QList<int> found{thisYear};
    for (q_year.first(); !q_year.eof(); q_year.next()) {
        const int y = q_year.asInt(QStringLiteral("year"));
        if (!found.contains(y)) found << y;
    }
    std::sort(found.begin(), found.end());
    years->clear();
    for (int y : std::as_const(found)) years->addItem(QString::number(y));
    years->setCurrentText(QString::number(thisYear));
}

void keptPeriod(QComboBox* months, QComboBox* years)
{
    const QVariantList kept = WindowMemory::kept(QStringLiteral("sheets/period")).toList();
    if (kept.size() != 2) return;
    const int month = kept[0].toInt();
    const int year = years->findText(QString::number(kept[1].toInt()));
    if (month < 1 || month > 12 || year < 0) return;
    months->setCurrentIndex(month - 1);
    years->setCurrentIndex(year);
}

void keepPeriod(int month, int year) { WindowMemory::keep(QStringLiteral("sheets/period"), QVariantList{month, year}); }
