#include "app/month_end.h"
#include "reports/report_kinds.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace month_end {

QList<Item> items(access_rights::Role role, int month, int year)
{
    const QDate first(year, month, 1);
    ReportRequest request;
    request.from = first;
    request.to = first.addMonths(1);
    request.month = month;
    request.year = year;
    // The warehouse's hub keeps to finished products; the others have all.
    request.productKind = access_rights::mayUse(role, QStringLiteral("Form18"), QStringLiteral("RadioGroup1")) ? 0 : 1;
    const QString suffix = QStringLiteral("-%1-%2").arg(year).arg(month, 2, 10, QLatin1Char('0'));
    QList<Item> out;
    for (const ReportKind& r : reportKinds())
        if (r.startedBy.allows(role)) out << Item{r.name + suffix + QStringLiteral(".pdf"), &r, nullptr, request};
    for (const SheetKind& s : sheetKinds())
        if (s.write && mayExport(s, role)) out << Item{s.name + suffix + QStringLiteral(".xlsx"), nullptr, &s, request};
    return out;
}

Written describe(const QString& folder, const QString& file)
{
    QFile f(QDir(folder).filePath(file));
    Written w{file, -1, {}};
    if (!f.open(QIODevice::ReadOnly)) return w;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f)) return w;
    w.size = f.size();
    w.sha256 = QString::fromLatin1(hash.result().toHex());
    return w;
}

QByteArray manifest(const QList<Written>& files, int month, int year, const QDateTime& snapshot, const QString& database,
                    const QString& server)
{
    const QDate first(year, month, 1);
    QJsonArray list;
    for (const Written& w : files)
        list.append(QJsonObject{{QStringLiteral("file"), w.file}, {QStringLiteral("size"), w.size}, {QStringLiteral("sha256"), w.sha256}});
    const QJsonObject root{
        {QStringLiteral("month"), month},
        {QStringLiteral("year"), year},
        {QStringLiteral("from"), first.toString(Qt::ISODate)},
        {QStringLiteral("to"), first.addMonths(1).toString(Qt::ISODate)},
        {QStringLiteral("snapshot"), snapshot.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("database"), database},
        {QStringLiteral("server"), server},
        {QStringLiteral("files"), list},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace month_end
