#pragma once
#include <QDateEdit>
#include <QString>

class QWidget;

/// A date field that takes typing as people expect of one: digits typed where the cursor stands
/// replace that part (day, month or year) rather than being refused after it, a date typed over
/// the whole selected text is taken part by part, Enter and Tab take what was typed, and PageUp
/// and PageDown step a month.
class DateField : public QDateEdit {
    Q_OBJECT
public:
    explicit DateField(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool m_typing = false;   ///< digits are being typed into a part
};

/// A date field as the windows have it: named, its calendar dropping down, the date shown as
/// dd.MM.yyyy.
DateField* datePicker(const QString& objectName, QWidget* parent);
