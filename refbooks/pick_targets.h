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

/// A dialog that takes a product picked in the products list: the product's id goes into the
/// kept value, its brand (marka), trimmed, into the name field.
class ProductPickTarget {
public:
    virtual ~ProductPickTarget() = default;
    /// The kept product id (sel_i_id of the operation price dialog).
    virtual int& pickedProductId() = 0;
    /// The field that shows the brand (Edit1 of the operation price dialog).
    virtual QLineEdit* pickedProductName() = 0;
};

/// A dialog that takes a nomenclature group picked in the groups list: the group's id goes into
/// the kept value, its caption as stored (not trimmed) into the name field.
class GroupPickTarget {
public:
    virtual ~GroupPickTarget() = default;
    /// The kept group id (sel_id_nom of the utility work entry dialog).
    virtual int& pickedGroupId() = 0;
    /// The field that shows the group's caption (Edit2 of the utility work entry dialog).
    virtual QLineEdit* pickedGroupName() = 0;
};

/// An operation as the operations list hands it over in pick mode: the picked row of the
/// operations query, before any surcharge.
struct PickedOperation {
    int id = 0;          ///< oper.id
    int productId = 0;   ///< oper.i_id
    int naimen = 0;      ///< product kind: 0 finished product, otherwise blanks
    QString vid;         ///< the operation kind's caption, as read
    QString basePrice;   ///< the lowest norm price, exact digits as the database gives them
};

/// A dialog that takes an operation picked in the operations list (the shift entry dialog). The
/// list hands over the picked row; the dialog fixes the price by its own rule (day-off box and
/// shift of the journal) at the moment of the pick and fills its own fields.
class OperationPickTarget {
public:
    virtual ~OperationPickTarget() = default;
    virtual void takeOperation(const PickedOperation& operation) = 0;
};
