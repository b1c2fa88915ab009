#pragma once
#include "app/sheet_kinds.h"
#include "data/access.h"
#include "rules/sheet_statements.h"

#include <QDateTime>
#include <QList>
#include <QString>

/// The month-end batch: every report (PDF) and every sheet (.xlsx) of a month that an access
/// code's role may have, under fixed names, read from one snapshot of the database, and a
/// manifest of what was written.
namespace month_end {

/// One file of the batch: what it holds and for what.
struct Item {
    QString file;                         ///< "workers-2024-03.pdf"
    const ReportKind* report = nullptr;   ///< a report, or
    const SheetKind* sheet = nullptr;     ///< a sheet
    ReportRequest request;
};

/// The role's reports and sheets of the month, in the hub's and the menu's order: a period's as
/// the whole month (the warehouse's on finished products only, as its hub has them), a month's for
/// the month, a book's as it stands.
QList<Item> items(access_rights::Role role, int month, int year);

/// A written file as the manifest lists it.
struct Written {
    QString file;
    qint64 size = 0;
    QString sha256;   ///< lower-case hex
};
/// The size and SHA-256 of a file of the folder; a size of -1 when it cannot be read.
Written describe(const QString& folder, const QString& file);

/// "manifest.json": the period, the time of the snapshot every file was read from, the database
/// and the server it was read on, and each file with its size and SHA-256.
inline const QString kManifest = QStringLiteral("manifest.json");
QByteArray manifest(const QList<Written>& files, int month, int year, const QDateTime& snapshot, const QString& database,
                    const QString& server);

} // namespace month_end
