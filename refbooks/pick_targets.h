#pragma once
#include <QString>

class QLineEdit;

/// A dialog that takes a worker picked in the workers list: the list writes the worker's id into
/// the dialog's kept value and the worker's name, trimmed, into its name field.
class WorkerPickTarget {
public:
    virtual ~WorkerPickTarget() = default;
    /// The kept worker id: cur_w_id of the shift entry dialog, sel_id_p of the utility work entry dialog.
    virtual int& pickedWorkerId() = 0;
    /// The field that shows the worker's name (Edit1 of both dialogs).
    virtual QLineEdit* pickedWorkerName() = 0;
};

/// A dialog that takes an operation kind picked in the operation kinds list: the kind's id goes
/// into the kept value, its caption, trimmed, into the name field.
class OperationKindPickTarget {
public:
    virtual ~OperationKindPickTarget() = default;
    /// The kept kind id (sel_vid of the operation price dialog).
    virtual int& pickedKindId() = 0;
    /// The field that shows the kind's caption (Edit2 of the operation price dialog).
    virtual QLineEdit* pickedKindName() = 0;
};
