#pragma once
#include <QString>

class Dataset;
class QComboBox;

/// The month a sheet is shown for, chosen as every sheet window chooses it: a list of the twelve
/// month names and a list of years, the month shown last kept between runs for the next window.

/// The years the timesheet rows have, for the year list (field "year").
extern const QString kQ_year;
/// Fills the year list from q_year (opened anew) and this year, which is always offered so that a
/// month of a year without rows can be chosen, and chooses this year.
void fillYearChoice(QComboBox* years, Dataset& q_year, int thisYear);
/// The month a sheet window showed last (kept between runs, see WindowMemory), chosen in its
/// month and year lists where the year is among them; the lists stay as they are otherwise.
void keptPeriod(QComboBox* months, QComboBox* years);
void keepPeriod(int month, int year);
