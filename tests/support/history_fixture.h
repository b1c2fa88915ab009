#pragma once
// Changes of every kind the history keeps (history_changes.sql) and what the history shows of
// them: the same whether the history kept them compact or whole, as every earlier build did.
#include "rules/change_history.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace history_fixture {

/// The changes, run by psql or as one text on a database whose history is empty.
inline const QString kChanges = QStringLiteral(TABEL_SOURCE_DIR "/tests/support/history_changes.sql");

/// A record whole as the tests compare it: "hh:mm|login|client|what|action|entry|subject|reason|changes".
inline QString line(const change_history::Record& r)
{
    return QStringList{r.at.toString(QStringLiteral("hh:mm")), r.dbUser, r.client, r.what(), r.actionText(), QString::number(r.rowId),
                       r.subject, r.reason, r.changesText()}
        .join(QLatin1Char('|'));
}

inline QStringList lines(const QList<change_history::Record>& records)
{
    QStringList out;
    for (const change_history::Record& r : records) out << line(r);
    return out;
}

/// Every change of the file in its order, as shown: on 20.03.2024 from 10:00, a minute apart.
inline QStringList everythingShown()
{
    return {
        QStringLiteral("10:00|tabel_test|history fixture|Журнал|Добавлена|9001|18.03.2024, 901 Сидоров С.С.||Дата: 18.03.2024; Смена: 2; Фамилия И.О.: 901 Сидоров С.С.; Марка изделия: ОК-1; Операция: Сборка; Цвет: 3005; Часы: 8; Кол-во: 10; Брак: 1; Цена: 12,75; Премия (%): 1,5; OK: no; Заведен: 18.03.2024 16:42:05"),
        QStringLiteral("10:01|tabel_test|history fixture|Журнал|Изменена|9001|18.03.2024, 901 Сидоров С.С.||OK: no → ok"),
        QStringLiteral("10:02|tabel_test|history fixture|Журнал|Изменена|9001|19.03.2024, 902 Кузнецов К.К.||Дата: 18.03.2024 → 19.03.2024; Фамилия И.О.: 901 Сидоров С.С. → 902 Кузнецов К.К.; Цвет: 3005 → —; Кол-во: 10 → 12"),
        QStringLiteral("10:03|tabel_test|history fixture|Журнал|Удалена|9001|19.03.2024, 902 Кузнецов К.К.||Дата: 19.03.2024; Смена: 2; Фамилия И.О.: 902 Кузнецов К.К.; Марка изделия: ОК-1; Операция: Сборка; Цвет: —; Часы: 8; Кол-во: 12; Брак: 1; Цена: 12,75; Премия (%): 1,5; OK: ok; Заведен: 18.03.2024 16:42:05"),
        QStringLiteral("10:04|tabel_test|history fixture|Часы|Добавлена|9002|19.03.2024, 901 Сидоров С.С.||Дата: 19.03.2024; ФИО: 901 Сидоров С.С.; Номенклатура: Окна; Работа: Сборка; Цена: 150,5; Кол-во: 8; Вых.: 0; Ноч.: 1; Месяц: 3; Год: 2024; Смена: 1"),
        QStringLiteral("10:05|tabel_test|history fixture|Часы|Изменена|9002|03.2024, 901 Сидоров С.С.||Дата: 19.03.2024 → —; Работа: Сборка → Шлифовка; Цена: 150,5 → 157,25"),
        QStringLiteral("10:06|tabel_test|history fixture|Часы|Изменена|9002|03.2024, 901 Сидоров С.С.||Кол-во: 8 → 6"),
        QStringLiteral("10:07|tabel_test|history fixture|Часы|Удалена|9002|03.2024, 901 Сидоров С.С.||Дата: —; ФИО: 901 Сидоров С.С.; Номенклатура: Окна; Работа: Шлифовка; Цена: 157,25; Кол-во: 6; Вых.: 0; Ноч.: 1; Месяц: 3; Год: 2024; Смена: 1"),
        QStringLiteral("10:08|tabel_test|history fixture|Журнал|Добавлена|9003|20.03.2024, 902 Кузнецов К.К.||Дата: 20.03.2024; Смена: 1; Фамилия И.О.: 902 Кузнецов К.К.; Марка изделия: ОК-1; Операция: Шлифовка; Цвет: —; Часы: 2; Кол-во: 3; Брак: 0; Цена: 7; Премия (%): 0; OK: \"(; Заведен: 20.03.2024 08:00:00"),
        QStringLiteral("10:09|tabel_test|history fixture|Журнал|Изменена|9003|20.03.2024, 902 Кузнецов К.К.||OK: \"( → да"),
        QStringLiteral("10:10|tabel_test|history fixture|Журнал|Добавлена|9004|21.03.2024, 901 Сидоров С.С.||Дата: 21.03.2024; Смена: 3; Фамилия И.О.: 901 Сидоров С.С.; Марка изделия: ОК-1; Операция: Шлифовка; Цвет: —; Часы: 1; Кол-во: 1; Брак: 0; Цена: 0,1; Премия (%): 0; OK: no; Заведен: 21.03.2024 23:59:59"),
        QStringLiteral("10:11|tabel_test|history fixture|Журнал|Изменена|9004|21.03.2024, 901 Сидоров С.С.||OK: no → ok; fixture_note: с запятой, \"кавычками\" и \\ → —"),
        QStringLiteral("10:12|tabel_test|history fixture|Журнал|Удалена|9004|21.03.2024, 901 Сидоров С.С.||Дата: 21.03.2024; Смена: 3; Фамилия И.О.: 901 Сидоров С.С.; Марка изделия: ОК-1; Операция: Шлифовка; Цвет: —; Часы: 1; Кол-во: 1; Брак: 0; Цена: 0,1; Премия (%): 0; OK: ok; Заведен: 21.03.2024 23:59:59"),
        QStringLiteral("10:13|tabel_test|history fixture|Месяц|Месяц закрыт|0|02.2024|по ведомости|Закрыт: 01.03.2024 09:00:00; Кем закрыт: бухгалтер"),
        QStringLiteral("10:14|tabel_test|history fixture|Месяц|Изменена|0|02.2024||Кем закрыт: бухгалтер → главный бухгалтер"),
        QStringLiteral("10:15|tabel_test|history fixture|Месяц|Месяц открыт|0|02.2024|ошибка в табеле|Закрыт: 01.03.2024 09:00:00; Кем закрыт: главный бухгалтер"),
    };
}

/// The changes of approved entries (approved before or after the change) and of the month.
inline QStringList approvedShown()
{
    const QStringList all = everythingShown();
    QStringList out;
    for (const int i : {1, 2, 3, 9, 11, 12, 13, 14, 15}) out << all.at(i);
    return out;
}

/// One entry's changes: "Журнал" or "Часы" and its number.
inline QStringList entryShown(const QString& what, qlonglong id)
{
    QStringList out;
    for (const QString& l : everythingShown())
        if (l.section(QLatin1Char('|'), 3, 3) == what && l.section(QLatin1Char('|'), 5, 5) == QString::number(id)) out << l;
    return out;
}

} // namespace history_fixture
