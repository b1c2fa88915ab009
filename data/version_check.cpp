#include "data/version_check.h"
#include "data/connection.h"
#include "data/data_module.h"

namespace {
// A missing stamp counts as the oldest: a row without one, or no row at all, takes this build's.
const QString kRaise = QStringLiteral(
    "update accounts_dep.ver set d = :d, t = :t where d is null or t is null or d < :d or (d = :d and t < :t)");
const QString kFirstRow = QStringLiteral(
    "insert into accounts_dep.ver (d, t, delim) select :d, :t, '.' where not exists (select 1 from accounts_dep.ver)");
const QString kRead = QStringLiteral("select d, t, delim from accounts_dep.ver");
} // namespace

QString outdatedBuildsText(const BuildStamp& ours, const BuildStamp& newest)
{
    return QStringLiteral("Эта программа — сборка %1, а с БД уже работала более новая сборка %2.").arg(ours.text(), newest.text());
}

VersionVerdict checkVersion(TDataModule6& dm, const BuildStamp& stamp, BuildStamp* newest)
{
    const Params params{{QStringLiteral("d"), stamp.date}, {QStringLiteral("t"), stamp.time}};
    Dataset ver(dm.ADO_DB, kRead);
    ver.open();
    const auto older = [&](int d, int t) { return d < stamp.date || (d == stamp.date && t < stamp.time); };
    // A standby (or any server open for reading only) is only compared with: it takes no stamp.
    if (!isReadOnlyServer(dm.ADO_DB)) {
        if (ver.isEmpty())
            execSql(dm.ADO_DB, kFirstRow, params);
        else if (ver.isNull(QStringLiteral("d")) || ver.isNull(QStringLiteral("t")) ||
                 older(ver.asInt(QStringLiteral("d")), ver.asInt(QStringLiteral("t"))))
            execSql(dm.ADO_DB, kRaise, params);
    }
    ver.refresh();
    // Without a delimiter a decimal number would lose its separator ("12,5" → "125"): the
    // server's own "." stands in.
    const QString delim = ver.asString(QStringLiteral("delim"));
    dm.setDbDelimiter(delim.isEmpty() ? QStringLiteral(".") : delim);
    if (newest) *newest = BuildStamp{ver.asInt(QStringLiteral("d")), ver.asInt(QStringLiteral("t"))};
    const auto newer = [&](int d, int t) { return d > stamp.date || (d == stamp.date && t > stamp.time); };
    return newer(ver.asInt(QStringLiteral("d")), ver.asInt(QStringLiteral("t"))) ? VersionVerdict::Outdated
                                                                                   : VersionVerdict::Current;
}
