#pragma once
// What the export benchmarks put where the user would be: messages go to stderr, and workbooks
// handed to the spreadsheet program are only remembered.
#include "data/prompts.h"
#include "export/excel_export.h"

#include <cstdio>

class PrintingPrompts : public Prompts {
public:
    void error(const QString& text, const QString& title) override { print(title, text); }
    bool question(const QString& text, const QString& title) override
    {
        print(title, text);
        return false;
    }
    void information(const QString& text, const QString& title) override { print(title, text); }

private:
    static void print(const QString& title, const QString& text)
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
};

class KeepingOpener : public SpreadsheetOpener {
public:
    QString last;
    bool open(const QString& filePath) override
    {
        last = filePath;
        return true;
    }
};
