// Sizes and savings as the result rows show them.

#include "ByteCountFormatter.h"
#include "PercentFormatter.h"

#include <QTest>

#include <limits>

class tst_DisplayFormatting : public QObject
{
    Q_OBJECT

private slots:
    void byteCount_data();
    void byteCount();
    void percent_data();
    void percent();
};

void tst_DisplayFormatting::byteCount_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QTest::newRow("empty file") << english << qint64(0) << QStringLiteral("0 kB");
    QTest::newRow("unknown size") << english << qint64(-1) << QStringLiteral("0 kB");
    QTest::newRow("one byte is never zero") << english << qint64(1) << QStringLiteral("1 kB");
    QTest::newRow("below a kilobyte") << english << qint64(499) << QStringLiteral("1 kB");
    QTest::newRow("1000-based kilobytes") << english << qint64(1000) << QStringLiteral("1 kB");
    QTest::newRow("kilobytes round to whole") << english << qint64(1500) << QStringLiteral("2 kB");
    QTest::newRow("largest kilobytes") << english << qint64(999'499) << QStringLiteral("999 kB");
    QTest::newRow("rounds up into megabytes") << english << qint64(999'500) << QStringLiteral("1 MB");
    QTest::newRow("whole megabytes drop the fraction") << english << qint64(24'000'000) << QStringLiteral("24 MB");
    QTest::newRow("one fraction digit") << english << qint64(1'240'000) << QStringLiteral("1.2 MB");
    QTest::newRow("fraction rounds half up") << english << qint64(1'250'000) << QStringLiteral("1.3 MB");
    QTest::newRow("no gigabytes") << english << qint64(2'500'000'000) << QStringLiteral("2,500 MB");
    QTest::newRow("largest size") << english << std::numeric_limits<qint64>::max()
                                  << QStringLiteral("9,223,372,036,854.8 MB");
    QTest::newRow("German decimal comma") << german << qint64(1'500'000) << QStringLiteral("1,5 MB");
    QTest::newRow("German grouping") << german << qint64(2'500'000'000) << QStringLiteral("2.500 MB");
    QTest::newRow("Chinese") << chinese << qint64(975'000) << QStringLiteral("975 kB");
}

void tst_DisplayFormatting::byteCount()
{
    QFETCH(QLocale, locale);
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(ByteCountFormatter::stringFromByteCount(bytes, locale), text);
}

void tst_DisplayFormatting::percent_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<QString>("text");

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("a third saved") << english << 0.35 << QStringLiteral("35%");
    QTest::newRow("below half a percent") << english << 0.0049 << QStringLiteral("0%");
    QTest::newRow("no fraction digits") << english << 0.3449 << QStringLiteral("34%");
    QTest::newRow("halves to even") << english << 0.125 << QStringLiteral("12%");
    QTest::newRow("everything saved") << english << 1.0 << QStringLiteral("100%");
    QTest::newRow("no negative zero") << english << -0.001 << QStringLiteral("0%");
    QTest::newRow("grew") << english << -0.25 << QStringLiteral("-25%");
    QTest::newRow("undefined") << english << std::numeric_limits<double>::quiet_NaN() << QStringLiteral("-");
    QTest::newRow("Chinese") << QLocale(QLocale::Chinese, QLocale::China) << 0.35 << QStringLiteral("35%");
}

void tst_DisplayFormatting::percent()
{
    QFETCH(QLocale, locale);
    QFETCH(double, fraction);
    QFETCH(QString, text);
    QCOMPARE(PercentFormatter::stringFromFraction(fraction, locale), text);
}

QTEST_GUILESS_MAIN(tst_DisplayFormatting)

#include "tst_displayformatting.moc"
