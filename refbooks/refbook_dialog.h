#pragma once
#include "rules/book_writes.h"

#include <QDialog>

class Dataset;
class TDataModule6;
class Prompts;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// The frame of a reference-book edit dialog: a captioned group box with labelled fields
/// (each label its field's buddy) over the save button Button1 (the default) and a cancel
/// button; the mode Tag and the id of the row being changed; the first field added focused
/// on opening; the one way to show what came of a save.
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

    /// Shows what came of the save: written, the dialog closes; the row gone, rowGone(); a
    /// refusal is told and the dialog stays open with what was typed. True when written.
    bool finish(const books::Outcome& outcome);
    /// The id of the row saved as the library takes it: 0 for a new row.
    int savedId() const { return Tag == 1 ? 0 : id; }
    /// Tells the user that the row being changed is gone and closes the dialog unsaved (the
    /// opener still rereads its list).
    void rowGone();

    void showEvent(QShowEvent* event) override;

    TDataModule6& m_dm;
    Prompts& m_prompts;

private:
    bool run(int tag, const QString& caption, int rowId);
    void followInTabOrder(QWidget* widget);

    QString m_addCaption;
    QString m_changeCaption;
    QGridLayout* m_fields = nullptr;
    int m_row = -1;
    QWidget* m_first = nullptr;
    QWidget* m_last = nullptr;
};

using books::kRowGoneMessage;
