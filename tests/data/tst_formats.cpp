#include "data/formats.h"
#include "data/money.h"

#include <QDateTime>
#include <QLocale>
#include <QTest>
#include <cmath>
#include <limits>

/// The one way numbers and dates are written for people, under the Russian locale.
class TestFormats : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void generalNumber_data();
    void generalNumber();
    void generalValue_data();
    void generalValue();
    void parseNumber_data();
    void parseNumber();
    void parseDigits_data();
    void parseDigits();
    void mask_data();
    void mask();
    void monthNames();
    void money_data();
    void money();
    void moneyDivided_data();
    void moneyDivided();
    void moneyPastItsDigits_data();
    void moneyPastItsDigits();
};

void TestFormats::generalNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("no thousands separator") << 3442.75 << "3442,75";
    QTest::newRow("millions") << 1234567.89 << "1234567,89";
    QTest::newRow("integer") << 12.0 << "12";
    QTest::newRow("negative") << -0.5 << "-0,5";
    QTest::newRow("no minus zero") << -0.0 << "0";
    QTest::newRow("15 significant digits") << 0.1 + 0.2 << "0,3";
    QTest::newRow("binary noise kept out") << 2.675 << "2,675";
    QTest::newRow("not finite") << std::numeric_limits<double>::infinity() << "";
    QTest::newRow("nan") << std::nan("") << "";
}

void TestFormats::generalNumber()
{
    QFETCH(double, value);
    QTEST(formats::general(value), "text");
}

void TestFormats::generalValue_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("numericText");
    QTest::addColumn<QString>("text");
    QTest::newRow("null") << QVariant() << false << "";
    QTest::newRow("int") << QVariant(123456) << false << "123456";
    QTest::newRow("long long") << QVariant(qlonglong(9876543210)) << false << "9876543210";
    QTest::newRow("double") << QVariant(3442.75) << false << "3442,75";
    QTest::newRow("exact digits as text") << QVariant(QStringLiteral("3442.750000")) << true << "3442,75";
    QTest::newRow("text stays text") << QVariant(QStringLiteral("3442.75")) << false << "3442.75";
    QTest::newRow("date") << QVariant(QDate(2024, 3, 5)) << false << "05.03.2024";
    QTest::newRow("midnight is a date") << QVariant(QDateTime(QDate(2024, 3, 5), QTime(0, 0))) << false << "05.03.2024";
    QTest::newRow("date and time") << QVariant(QDateTime(QDate(2024, 3, 5), QTime(17, 30))) << false << "05.03.2024 17:30:00";
}

void TestFormats::generalValue()
{
    QFETCH(QVariant, value);
    QFETCH(bool, numericText);
    QTEST(formats::general(value, numericText), "text");
}

void TestFormats::parseNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    QTest::addColumn<double>("value");
    QTest::newRow("comma") << "12,5" << true << 12.5;
    QTest::newRow("point") << "12.5" << true << 12.5;
    QTest::newRow("sign") << "-3" << true << -3.0;
    QTest::newRow("exponent") << "1,5e3" << true << 1500.0;
    QTest::newRow("two separators") << "1,5.5" << false << 0.0;
    QTest::newRow("blank around") << " 12" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("letters") << "12a" << false << 0.0;
    QTest::newRow("thousands grouped") << "1 234" << false << 0.0;
    QTest::newRow("15 digits") << "123456789012345" << true << 123456789012345.0;
    QTest::newRow("16 digits lose one") << "1234567890123456" << false << 0.0;
    QTest::newRow("out of range") << "1e400" << false << 0.0;
}

void TestFormats::parseNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, read);
    QFETCH(double, value);
    const auto n = formats::parseNumber(text);
    QCOMPARE(n.has_value(), read);
    QCOMPARE(formats::isNumeric(text), read);
    if (read) QCOMPARE(*n, value);
}

void TestFormats::parseDigits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");   // -1: not read
    QTest::newRow("digits") << "2024" << 2024;
    QTest::newRow("leading zero") << "03" << 3;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("nine digits") << "999999999" << 999999999;
    QTest::newRow("ten digits") << "1000000000" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("plus") << "+3" << -1;
    QTest::newRow("minus") << "-3" << -1;
    QTest::newRow("space before") << " 3" << -1;
    QTest::newRow("space after") << "3 " << -1;
    QTest::newRow("fraction") << "3.0" << -1;
    QTest::newRow("other script's digit") << QString(QChar(0x0663)) << -1;
}

void TestFormats::parseDigits()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    const std::optional<int> n = formats::parseDigits(text);
    QCOMPARE(n.value_or(-1), value);
}

void TestFormats::mask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("two places") << "#0.00" << 3.5 << "3,50";
    QTest::newRow("half away from zero") << "#0.00" << 2.675 << "2,68";
    QTest::newRow("negative half") << "#0.00" << -2.675 << "-2,68";
    QTest::newRow("carry") << "#0.00" << 9.999 << "10,00";
    QTest::newRow("three places") << "#0.000" << 0.1 << "0,100";
    QTest::newRow("whole") << "#0" << 41.5 << "42";
    QTest::newRow("optional places") << "#,##0.##" << 1234567.5 << QStringLiteral("1\u00a0234\u00a0567,5");
    QTest::newRow("no minus zero") << "#0.00" << -0.001 << "0,00";
    QTest::newRow("places beyond a double's digits") << "#0.00" << 1e20 << "100000000000000000000,00";
}

void TestFormats::mask()
{
    QFETCH(QString, mask);
    QFETCH(double, value);
    const auto m = formats::Mask::parse(mask);
    QVERIFY(m.has_value());
    QTEST(m->format(value), "text");
    // The same value given exactly, as its shortest digits, prints the same.
    QTEST(m->format(Money::fromValue(value)), "text");
}

void TestFormats::monthNames()
{
    QCOMPARE(formats::monthNames().size(), 12);
    QCOMPARE(formats::monthName(1), QStringLiteral("Январь"));
    QCOMPARE(formats::monthName(12), QStringLiteral("Декабрь"));
    QCOMPARE(formats::monthName(0), QString());
    QCOMPARE(formats::monthName(13), QString());
    QCOMPARE(formats::date(QDate()), QString());
    QVERIFY(!formats::Mask::parse(QStringLiteral("#0.0.0")).has_value());
    QVERIFY(!formats::Mask::parse(QStringLiteral("x0")).has_value());
}

void TestFormats::money_data()
{
    // value (as the database or a field gives it) × factor (text), rounded to `decimals`
    // half to even, then shown in the general format.
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("factor");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("shown");
    QTest::newRow("price with a day off in overtime") << QVariant(10.5) << "3" << 4 << "31.5" << "31,5";
    QTest::newRow("a double is taken as written, not as its binary neighbour") << QVariant(0.1) << "3" << 4 << "0.3" << "0,3";
    QTest::newRow("numeric text stays exact") << QVariant(QStringLiteral("1449437.25")) << "1" << 2 << "1449437.25" << "1449437,25";
    QTest::newRow("half at the fifth decimal to even, down") << QVariant(QStringLiteral("1.00005")) << "1" << 4 << "1" << "1";
    QTest::newRow("half at the fifth decimal to even, up") << QVariant(QStringLiteral("1.00015")) << "1" << 4 << "1.0002" << "1,0002";
    QTest::newRow("negative half to even") << QVariant(QStringLiteral("-2.5")) << "1" << 0 << "-2" << "-2";
    QTest::newRow("a sum of pieces past a double's digits") << QVariant(QStringLiteral("123456789012.3456")) << "1000" << 4
                                                          << "123456789012345.6" << "123456789012346";
    QTest::newRow("small, with no exponent") << QVariant(QStringLiteral("0.00001")) << "1" << 5 << "0.00001" << "0,00001";
    QTest::newRow("integer") << QVariant(7) << "1.2" << 4 << "8.4" << "8,4";
    QTest::newRow("null is 0") << QVariant() << "5" << 2 << "0" << "0";
}

void TestFormats::money()
{
    QFETCH(QVariant, value);
    QFETCH(QString, factor);
    QFETCH(int, decimals);
    const Money result = (Money::fromValue(value) * *Money::parse(factor)).rounded(decimals);
    QTEST(result.toString(), "digits");
    QTEST(formats::general(result), "shown");
    // Sums add exactly: ten times 0.1 is 1.
    Money sum;
    for (int i = 0; i < 10; ++i) sum += Money::fromValue(0.1);
    QCOMPARE(sum, Money::units(1));
}

void TestFormats::moneyDivided_data()
{
    QTest::addColumn<QString>("dividend");
    QTest::addColumn<QString>("divisor");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("quotient");   // empty: no quotient
    QTest::newRow("exact") << "0.0006" << "1.2" << 18 << "0.0005";
    QTest::newRow("repeating, rounded at the last place") << "1" << "1.2" << 18 << "0.833333333333333333";
    QTest::newRow("half to even, down") << "0.25" << "1" << 1 << "0.2";
    QTest::newRow("half to even, up") << "0.35" << "1" << 1 << "0.4";
    QTest::newRow("signs") << "-10" << "4" << 0 << "-2";
    QTest::newRow("both negative") << "-7" << "-2" << 0 << "4";
    QTest::newRow("past a double's digits") << "148148146814.8146" << "1.2" << 18 << "123456789012.3455";
    QTest::newRow("divisor with more decimals") << "5" << "0.0004" << 2 << "12500";
    QTest::newRow("by zero") << "1" << "0" << 18 << "";
    QTest::newRow("huge keeps what fits") << "99999999999999999999" << "0.000000000000000001" << 18
                                          << "99999999999999999999000000000000000000";
}

void TestFormats::moneyDivided()
{
    QFETCH(QString, dividend);
    QFETCH(QString, divisor);
    QFETCH(int, decimals);
    const auto q = Money::parse(dividend)->divided(*Money::parse(divisor), decimals);
    QTEST(q ? q->toString() : QString(), "quotient");
}

void TestFormats::moneyPastItsDigits_data()
{
    // a op b: the exact result, "overflow" where it cannot be carried, or what it gives
    // where the finest decimals give way to a large amount's digits.
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("result");
    const QString big = QStringLiteral("99999999999999999999e18");   // 38 nines
    QTest::newRow("sum past 38 digits") << big << "+" << big << "overflow";
    QTest::newRow("difference past 38 digits") << big << "-" << "-" + big << "overflow";
    QTest::newRow("product of integers") << big << "*" << "10" << "overflow";
    QTest::newRow("product by a count") << big << "*n" << "3" << "overflow";
    QTest::newRow("a large amount and fine decimals") << "99999999999999999999e10" << "+" << "0.0000000000000000000001"
                                                      << "999999999999999999990000000000";
    QTest::newRow("a large amount and a kopeck") << "99999999999999999999e10" << "+" << "0.01"
                                                 << "999999999999999999990000000000.01";
    QTest::newRow("compared past the finer scale") << "99999999999999999999e10" << "<" << "0.0000000000000000000001" << "false";
    QTest::newRow("compared, negative") << "-99999999999999999999e10" << "<" << "-0.0000000000000000000001" << "true";
}

void TestFormats::moneyPastItsDigits()
{
    QFETCH(QString, a);
    QFETCH(QString, op);
    QFETCH(QString, b);
    QFETCH(QString, result);
    const std::optional<Money> x = Money::parse(a), y = Money::parse(b);
    QVERIFY(x && y);
    QString got;
    try {
        if (op == QLatin1String("+")) got = (*x + *y).toString();
        else if (op == QLatin1String("-")) got = (*x - *y).toString();
        else if (op == QLatin1String("*")) got = (*x * *y).toString();
        else if (op == QLatin1String("*n")) got = (*x * qint64(b.toLongLong())).toString();
        else got = *x < *y ? QStringLiteral("true") : QStringLiteral("false");
    } catch (const MoneyOverflow&) {
        got = QStringLiteral("overflow");
    }
    QCOMPARE(got, result);
    // A text with more digits than are kept is no amount.
    QVERIFY(!Money::parse(QStringLiteral("99999999999999999999e20")).has_value());
}

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
