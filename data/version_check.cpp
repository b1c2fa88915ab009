#include "data/version_check.h"
#include "data/data_module.h"

namespace {
const QString kRaise = QStringLiteral(
    "update accounts_dep.ver set d = :d, t = :t where d < :d or (d = :d and t < :t)");
const QString kRead = QStringLiteral("select d, t, delim from accounts_dep.ver");
} // namespace

VersionVerdict checkVersion(TDataModule6& dm, const BuildStamp& stamp)
{
    Dataset ver(dm.ADO_DB, kRead);
    ver.open();
    dm.setDbDelimiter(ver.asString(QStringLiteral("delim")));
    const auto newer = [&](int d, int t) { return d > stamp.date || (d == stamp.date && t > stamp.time); };
    const auto older = [&](int d, int t) { return d < stamp.date || (d == stamp.date && t < stamp.time); };
    if (older(ver.asInt(QStringLiteral("d")), ver.asInt(QStringLiteral("t")))) {
        execSql(dm.ADO_DB, kRaise, {{QStringLiteral("d"), stamp.date}, {QStringLiteral("t"), stamp.time}});
    }
    ver.refresh();
    return newer(ver.asInt(QStringLiteral("d")), ver.asInt(QStringLiteral("t"))) ? VersionVerdict::Outdated
                                                                                   : VersionVerdict::Current;
}
