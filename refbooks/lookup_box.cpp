#include "refbooks/lookup_box.h"
#include "data/dataset.h"

LookupBox::LookupBox(Dataset& table, const QString& keyField, const QString& listField, QWidget* parent)
    : QComboBox(parent), m_table(table), m_keyField(keyField), m_listField(listField)
{
    setMaxVisibleItems(10);
    setEditable(false);
}

void LookupBox::reopen()
{
    const QVariant chosen = keyValue();
    m_table.close();
    m_table.open();
    clear();
    for (int r = 0; r < m_table.recordCount(); ++r)
        addItem(Dataset::toText(m_table.valueAt(r, m_listField)), m_table.valueAt(r, m_keyField));
    setCurrentIndex(chosen.isValid() ? findData(chosen) : -1);
}

QVariant LookupBox::keyValue() const
{
    return currentIndex() < 0 ? QVariant() : currentData();
}

QString LookupBox::shownCaption() const
{
    const QString caption = currentIndex() < 0 ? placeholderText() : currentText();
    return caption.isNull() ? QStringLiteral("") : caption;
}

void LookupBox::presetCaption(const QString& caption)
{
    clearPreset();
    const QString wanted = caption.trimmed();
    for (int i = 0; i < count() && !wanted.isEmpty(); ++i) {
        if (itemText(i).trimmed().compare(wanted, Qt::CaseInsensitive) == 0) {
            setCurrentIndex(i);
            return;
        }
    }
    setCurrentIndex(-1);
    setPlaceholderText(caption);
}

void LookupBox::chooseKey(qlonglong key)
{
    // Keys come as integers or as numeric(15, 0) values: compared as numbers.
    int found = -1;
    for (int i = 0; i < count() && found < 0; ++i)
        if (Dataset::toLongLong(itemData(i)) == key) found = i;
    setCurrentIndex(found);
}

void LookupBox::clearPreset()
{
    // An emptied placeholder makes the box choose its first row when nothing is chosen.
    const int chosen = currentIndex();
    setPlaceholderText(QString());
    setCurrentIndex(chosen);
}
