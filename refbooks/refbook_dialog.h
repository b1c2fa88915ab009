#pragma once
#include "data/statement.h"

#include <QDialog>
#include <functional>

class Dataset;
class TDataModule6;
class Prompts;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// What a dialog demands of the name it stores, and what it tells the user otherwise.
struct NameRule {
    /// Told when the name is empty, blank, or holds control characters.
    QString incompleteMessage = QStringLiteral("Все поля должны быть заполнены!");
    /// Characters the column holds, and what is told of a longer name ("%1" the number).
    int maxLength = 254;
    QString tooLongMessage;
    /// Where twins are looked for: no other row of the table may hold the name in any letter
    /// case (the server lower- and then upper-cases both sides; a changed row is not its own
    /// twin). The table also names the lock that serialises the book's saves. An empty table: no
    /// twin check.
    QString twinTable;
    QString twinColumn;
    QString twinMessage;
};

/// The frame of a reference-book edit dialog: a captioned group box with labelled fields
/// (each label its field's buddy) over the save button Button1 (the default) and a cancel
/// button; the mode Tag and the id of the row being changed; the first field added focused
/// on opening; the one way to check a name and to write the row.
class RefBookDialog : public QDialog {
    Q_OBJECT
public:
    /// 1 a new row, 2 a change of the row whose id is held in id.
    int Tag = 1;
    int id = 0;

    QGroupBox* GroupBox1 = nullptr;
    QPushButton* Button1 = nullptr;  // "Записать"
    QPushButton* Button2 = nullptr;  // "Отмена"

    /// A new row: the fields as the book clears or keeps them; true when the opener's list is
    /// to be reread (saved, or the row found gone), false when cancelled.
    bool openForAdd();
    /// A change of the row at the current position of the opener's query, its values in the
    /// fields; returns as openForAdd.
    bool openForChange(const Dataset& row);

    /// "Записать": checks what was typed, writes the row and closes; a refusal keeps the dialog
    /// open with what was typed.
    virtual void Button1Click() = 0;

protected:
    RefBookDialog(TDataModule6& dm, const QString& objectName, const QString& groupCaption,
                  const QString& addCaption, const QString& changeCaption, QWidget* parent);

    /// What the book does to its fields before a new row and before a change of this row.
    virtual void fillForAdd() = 0;
    virtual void fillForChange(const Dataset& row) = 0;

    /// A field under its caption label; the label is the field's buddy. Column 0 starts a new
    /// row of fields, column 1 stands to the right of the last one.
    QLabel* addField(const char* labelName, const QString& caption, QWidget* field, int column = 0);
    /// A control without a caption of its own, across the group box.
    void addRow(QWidget* widget);
    /// A text field of the dialog by its name, flat or framed, to be placed with addField.
    QLineEdit* newEdit(const char* name, bool flat = true);

    /// Checks a trimmed name against the rule's readability and length, telling the user the
    /// first fault; false when refused. otherIncomplete: another field of the dialog is missing.
    /// Twins are looked for by writeRow.
    bool nameAccepted(const QString& name, const NameRule& rule, bool otherIncomplete = false);
    /// Writes the dialog's row with one statement in one transaction and closes the dialog.
    /// Within that transaction, before the statement: the book's names are locked against other
    /// clients' saves and the name is refused when another row holds it (rule's twin check), after
    /// first has run. When the statement touched no row (another user deleted the row being
    /// changed), the user is told and the dialog closes unsaved; returns false then.
    /// first: holds what the row will point to; when it answers false nothing is written and the
    /// dialog stays open (it has told the user why).
    bool writeRow(const QString& sql, const Params& params, const QString& name, const NameRule& rule,
                  const std::function<bool()>& first = {});
    /// Tells the user that the row being changed is gone and closes the dialog unsaved (the
    /// opener still rereads its list).
    void rowGone();

    void showEvent(QShowEvent* event) override;

    TDataModule6& m_dm;
    Prompts& m_prompts;

private:
    bool hasTwin(const QString& name, const NameRule& rule);
    bool run(int tag, const QString& caption, int rowId);
    void followInTabOrder(QWidget* widget);

    QString m_addCaption;
    QString m_changeCaption;
    QGridLayout* m_fields = nullptr;
    int m_row = -1;
    QWidget* m_first = nullptr;
    QWidget* m_last = nullptr;
};

/// Told when a change or deletion finds its row already deleted by another user.
extern const QString kRowGoneMessage;

/// Runs one writing statement (inside the caller's transaction) and tells how many rows it
/// touched. Throws DbError on refusal.
int rowsWritten(const QSqlDatabase& db, const QString& sql, const Params& params);
