#include "ui/message_prompts.h"

#include <QApplication>
#include <QMessageBox>

void MessageBoxPrompts::error(const QString& text, const QString& title)
{
    QMessageBox::critical(QApplication::activeWindow(), title, text, QMessageBox::Ok);
}

bool MessageBoxPrompts::question(const QString& text, const QString& title)
{
    return QMessageBox::question(QApplication::activeWindow(), title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxPrompts::information(const QString& text, const QString& title)
{
    QMessageBox::information(QApplication::activeWindow(), title, text, QMessageBox::Ok);
}
