#include "tests/timesheets/workbook_reader.h"

#include <QDebug>
#include <QJsonDocument>
#include <QProcess>

namespace {
const char* const kReader = R"(
import json, sys, openpyxl
sheet = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
rows, bold, numeric = [], [], []
for row in sheet.iter_rows():
    values = []
    for c in row:
        v = c.value
        values.append("" if v is None else (str(int(v)) if isinstance(v, float) and v == int(v) else str(v)))
        if c.font.b and v is not None: bold.append(c.coordinate)
        if c.data_type == "n" and v is not None: numeric.append(c.coordinate)
    rows.append(values)
print(json.dumps({"rows": rows, "bold": bold, "numeric": numeric}, ensure_ascii=False))
)";

QStringList strings(const QJsonArray& a)
{
    QStringList list;
    for (const auto& v : a) list << v.toString();
    return list;
}
} // namespace

bool readWorkbook(const QString& path, Workbook* book)
{
    QProcess python;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("utf-8"));
    python.setProcessEnvironment(env);
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(kReader), path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning().noquote() << "reader failed:" << python.readAllStandardError();
        return false;
    }
    const QJsonObject o = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    book->rows.clear();
    for (const auto& r : o[QStringLiteral("rows")].toArray()) book->rows << strings(r.toArray());
    book->bold = strings(o[QStringLiteral("bold")].toArray());
    book->numericCells = strings(o[QStringLiteral("numeric")].toArray());
    return true;
}
