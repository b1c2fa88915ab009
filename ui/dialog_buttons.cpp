#include "ui/dialog_buttons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

DialogButtons addDialogButtons(QDialog* dialog, QWidget* content, const QString& saveCaption)
{
    DialogButtons b;
    b.Button1 = new QPushButton(saveCaption, dialog);
    b.Button1->setObjectName(QStringLiteral("Button1"));
    b.Button1->setAutoDefault(false);
    b.Button1->setDefault(true);
    b.Button2 = new QPushButton(QStringLiteral("Отмена"), dialog);
    b.Button2->setObjectName(QStringLiteral("Button2"));
    // Enter on "Отмена" cancels: while it has the focus it is the default, and the save button
    // is again once the focus moves on.
    b.Button2->setAutoDefault(true);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(b.Button1);
    bottom->addWidget(b.Button2);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(content);
    layout->addLayout(bottom);
    return b;
}
