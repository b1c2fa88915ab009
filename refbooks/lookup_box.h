#pragma once
#include <QComboBox>
#include <QVariant>

class Dataset;

/// A drop-down over a lookup table: it lists one field of every row (the caption) and keeps
/// another (the key) of the chosen one. Reopening the table keeps the choice while its row is there.
class LookupBox : public QComboBox {
    Q_OBJECT
public:
    LookupBox(Dataset& table, const QString& keyField, const QString& listField, QWidget* parent = nullptr);

    /// Closes and reopens the table and fills the list again, in the table's order.
    void reopen();
    /// The chosen row's key, or an invalid value when nothing is chosen.
    QVariant keyValue() const;
    /// The caption the box shows: the chosen row's, else the caption it was preset with, else "".
    QString shownCaption() const;
    /// Chooses the row with this caption (surrounding blanks and letter case aside); when no
    /// row has it, nothing is chosen and the box shows the caption as it is.
    void presetCaption(const QString& caption);
    /// Chooses the row with this key; nothing is chosen when no row has it.
    void chooseKey(qlonglong key);
    /// Forgets a caption shown without a row; the choice stays.
    void clearPreset();

    Dataset& table() const { return m_table; }

private:
    Dataset& m_table;
    QString m_keyField;
    QString m_listField;
};
