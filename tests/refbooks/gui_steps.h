#pragma once
// What the reference-book tests add to the shared GUI steps: a caller of every pick, and what a
// list shows.
#include "data/dataset.h"
#include "tests/support/gui_steps.h"
#include "refbooks/pick_targets.h"
#include "ui/data_grid.h"

#include <QLineEdit>
#include <QWidget>

/// A calling dialog as far as a pick goes (shift entry, utility work entry, operation price):
/// one kept id and one name field, whatever is picked.
class Caller : public WorkerPickTarget, public OperationKindPickTarget, public ProductPickTarget, public GroupPickTarget {
public:
    int keptId = 0;
    QLineEdit name;
    int& pickedWorkerId() override { return keptId; }
    QLineEdit* pickedWorkerName() override { return &name; }
    int& pickedKindId() override { return keptId; }
    QLineEdit* pickedKindName() override { return &name; }
    int& pickedProductId() override { return keptId; }
    QLineEdit* pickedProductName() override { return &name; }
    int& pickedGroupId() override { return keptId; }
    QLineEdit* pickedGroupName() override { return &name; }
};

/// The values of a field over a dataset's visible rows, in order.
inline QStringList visibleRows(const Dataset& ds, const QString& field)
{
    QStringList out;
    for (int r = 0; r < ds.recordCount(); ++r) out << Dataset::toText(ds.valueAt(r, field));
    return out;
}

