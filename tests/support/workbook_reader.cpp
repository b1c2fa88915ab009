#include "tests/support/workbook_reader.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

const char* const kReader = R"(
import datetime, json, re, sys, openpyxl
from openpyxl.utils import get_column_letter
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[int(sys.argv[2]) if len(sys.argv) > 2 else 0]
def text(v):
    if v is None: return ""
    if isinstance(v, float) and v.is_integer(): return str(int(v))
    return str(v)
dates = {"dd.mm.yyyy": "%d.%m.%Y", "dd.mm.yyyy hh:mm:ss": "%d.%m.%Y %H:%M:%S"}
def shown(c):
    fixed = re.fullmatch(r"0(?:\.(0+))?", c.number_format)
    if c.data_type == "n" and c.value is not None and fixed:
        return "%.*f" % (len(fixed.group(1) or ""), c.value)
    if isinstance(c.value, datetime.datetime) and c.number_format in dates:
        return c.value.strftime(dates[c.number_format])
    return text(c.value)
rows, cells = [], {}
for row in sheet.iter_rows():
    rows.append([text(c.value) for c in row])
    for c in row:
        if c.value is None and c.number_format == "General" and not c.font.b:
            continue
        cells[c.coordinate] = {"value": c.value, "type": c.data_type, "shown": shown(c),
                               "format": c.number_format, "bold": bool(c.font.b)}
widths, column_formats = {}, {}
for dim in list(sheet.column_dimensions.values()):
    if dim.min:
        for i in range(dim.min, dim.max + 1):
            if dim.customWidth: widths[get_column_letter(i)] = dim.width
            if dim.number_format != "General": column_formats[get_column_letter(i)] = dim.number_format
print(json.dumps({"sheets": book.sheetnames, "rows": rows, "cells": cells, "widths": widths,
                  "columnFormats": column_formats, "frozen": sheet.freeze_panes or "",
                  "autoFilter": sheet.auto_filter.ref or ""},
                 ensure_ascii=False, default=str))
)";

// Every part of a workbook's package that is XML, by name, its bytes in base64.
const char* const kXmlParts = R"(
import base64, json, sys, zipfile
package = zipfile.ZipFile(sys.argv[1])
print(json.dumps({n: base64.b64encode(package.read(n)).decode()
                  for n in package.namelist() if n.endswith((".xml", ".rels"))}))
)";

/// Runs a script of Debian's Python (where openpyxl is) on a workbook and reads what it prints
/// as JSON; empty, with the complaint on the test log, when it fails.
QJsonObject python(const char* script, const QString& path, const QStringList& more = {})
{
    QProcess python;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("utf-8"));
    python.setProcessEnvironment(env);
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), QString::fromUtf8(script), path} + more);
    if (!python.waitForFinished(30000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        qWarning().noquote() << "reader failed:" << python.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

/// The rows of a CSV text: fields between commas, a field in double quotes may hold commas,
/// line breaks and doubled quotes.
QList<QStringList> csvRows(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != u'"') field += c;
            else if (i + 1 < text.size() && text.at(i + 1) == u'"') field += text.at(++i);
            else quoted = false;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\n') {
            rows << (row << field);
            row.clear();
            field.clear();
        } else if (c != u'\r') {
            field += c;
        }
    }
    if (!row.isEmpty() || !field.isEmpty()) rows << (row << field);
    return rows;
}

QStringList strings(const QJsonArray& a)
{
    QStringList list;
    for (const QJsonValue& v : a) list << v.toString();
    return list;
}

} // namespace

bool readWorkbook(const QString& path, Workbook* book, int sheet)
{
    const QJsonObject o = python(kReader, path, {QString::number(sheet)});
    if (o.isEmpty()) return false;
    *book = Workbook{};
    book->sheets = strings(o[QStringLiteral("sheets")].toArray());
    for (const QJsonValue& r : o[QStringLiteral("rows")].toArray()) book->rows << strings(r.toArray());
    book->cells = o[QStringLiteral("cells")].toObject();
    book->widths = o[QStringLiteral("widths")].toObject();
    book->columnFormats = o[QStringLiteral("columnFormats")].toObject();
    book->frozen = o[QStringLiteral("frozen")].toString();
    book->autoFilter = o[QStringLiteral("autoFilter")].toString();
    for (auto it = book->cells.constBegin(); it != book->cells.constEnd(); ++it) {
        const QJsonObject c = it.value().toObject();
        if (c[QStringLiteral("value")].isNull()) continue;
        if (c[QStringLiteral("bold")].toBool()) book->bold << it.key();
        if (c[QStringLiteral("type")].toString() == QLatin1String("n")) book->numericCells << it.key();
    }
    return true;
}

QString columnLetters(int column)
{
    QString letters;
    for (; column > 0; column = (column - 1) / 26) letters.prepend(QChar(u'A' + (column - 1) % 26));
    return letters;
}

QStringList tableFaults(const Workbook& book, int headerRow, int lastColumn, int lastRow)
{
    QStringList faults;
    const QString below = QStringLiteral("A%1").arg(headerRow + 1);
    if (book.frozen != below) faults << QStringLiteral("frozen at \"%1\", not %2").arg(book.frozen, below);
    const QString range = QStringLiteral("A%1:%2%3").arg(headerRow).arg(columnLetters(lastColumn)).arg(lastRow);
    if (book.autoFilter != range) faults << QStringLiteral("filter over \"%1\", not %2").arg(book.autoFilter, range);
    for (int c = 1; c <= lastColumn; ++c) {
        const QString heading = columnLetters(c) + QString::number(headerRow);
        if (!book.at(headerRow, c).isEmpty() && !book.bold.contains(heading)) faults << heading + QStringLiteral(" not bold");
    }
    // The widest text each column shows, in characters.
    QMap<QString, qsizetype> longest;
    for (auto it = book.cells.constBegin(); it != book.cells.constEnd(); ++it) {
        const QString shown = it.value().toObject()[QStringLiteral("shown")].toString();
        QString letters = it.key();
        while (!letters.isEmpty() && letters.back().isDigit()) letters.chop(1);
        longest[letters] = std::max(longest.value(letters), shown.size());
    }
    for (auto it = longest.constBegin(); it != longest.constEnd(); ++it) {
        if (it.value() == 0) continue;
        const double width = book.widths[it.key()].toDouble();
        if (width < it.value() * 0.8 || width > it.value() * 1.4 + 4)
            faults << QStringLiteral("column %1 is %2 wide for %3 characters").arg(it.key()).arg(width).arg(it.value());
    }
    return faults;
}

QStringList notInFormat(const Workbook& book, int first, int last, int firstRow, int lastRow, const QString& format)
{
    QStringList faults;
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = first; c <= last; ++c) {
            const QString coordinate = columnLetters(c) + QString::number(r);
            const QJsonObject cell = book.cell(coordinate);
            if (cell[QStringLiteral("value")].isNull() || cell[QStringLiteral("value")].isUndefined()) continue;
            if (cell[QStringLiteral("type")].toString() != QLatin1String("n") || cell[QStringLiteral("format")].toString() != format)
                faults << coordinate + QLatin1Char(' ') + cell[QStringLiteral("format")].toString();
        }
    }
    return faults;
}

QList<QStringList> readSheet(const QString& path)
{
    Workbook book;
    return readWorkbook(path, &book) ? book.rows : QList<QStringList>{};
}

QStringList xmlFaults(const QString& path)
{
    const QJsonObject parts = python(kXmlParts, path);
    if (parts.isEmpty()) return {QStringLiteral("%1: no XML parts read").arg(path)};
    QStringList faults;
    for (auto it = parts.constBegin(); it != parts.constEnd(); ++it) {
        QXmlStreamReader xml(QByteArray::fromBase64(it.value().toString().toLatin1()));
        while (!xml.atEnd()) xml.readNext();
        if (xml.hasError())
            faults << QStringLiteral("%1, line %2, column %3: %4")
                          .arg(it.key()).arg(xml.lineNumber()).arg(xml.columnNumber()).arg(xml.errorString());
    }
    return faults;
}

QMap<QString, QList<QStringList>> readWithSpreadsheetProgram(const QStringList& paths)
{
    QTemporaryDir dir;
    // A profile of its own, so that runs side by side do not wait for each other's.
    const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
    const QString out = dir.filePath(QStringLiteral("csv"));
    QProcess office;
    office.start(QStringLiteral("soffice"),
                 QStringList{QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                             QStringLiteral("--convert-to"),
                             // comma, double quotes, UTF-8, from the first row
                             QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1"), QStringLiteral("--outdir"), out}
                     + paths);
    if (!office.waitForFinished(180000) || office.exitStatus() != QProcess::NormalExit || office.exitCode() != 0) {
        qWarning().noquote() << "soffice failed:" << office.errorString() << office.readAllStandardError();
        return {};
    }
    QMap<QString, QList<QStringList>> sheets;
    for (const QString& path : paths) {
        QFile csv(QDir(out).filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".csv")));
        if (csv.open(QIODevice::ReadOnly)) sheets.insert(path, csvRows(QString::fromUtf8(csv.readAll())));
    }
    return sheets;
}
