// The texts of a result row: sizes through the 1000-based byte count limited to kB and MB, and
// savings in whole percent. How detail lines are cut shows in the row's QML test.

#include "ByteCountFormatter.h"
#include "PercentFormatter.h"

#include <QTest>

#include <limits>

using namespace pressel;

using namespace Qt::StringLiterals;

class tst_RowTexts : public QObject
{
    Q_OBJECT

private slots:
    void byteCount_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");

        const QLocale english(QLocale::English, QLocale::UnitedStates);
        const QLocale german(QLocale::German, QLocale::Germany);
        QTest::newRow("empty file") << english << qint64(0) << "0 kB";
        QTest::newRow("unknown size") << english << qint64(-1) << "0 kB";
        QTest::newRow("one byte is never zero") << english << qint64(1) << "1 kB";
        QTest::newRow("1000-based, rounded to whole kilobytes") << english << qint64(1500) << "2 kB";
        QTest::newRow("rounds up into megabytes") << english << qint64(999'500) << "1 MB";
        QTest::newRow("one fraction digit, half up") << english << qint64(1'250'000) << "1.3 MB";
        QTest::newRow("no gigabytes") << english << qint64(2'500'000'000) << "2,500 MB";
        QTest::newRow("largest size") << english << std::numeric_limits<qint64>::max() << "9,223,372,036,854.8 MB";
        QTest::newRow("German decimal comma") << german << qint64(1'500'000) << "1,5 MB";
    }

    void byteCount()
    {
        QFETCH(QLocale, locale);
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(ByteCountFormatter::stringFromByteCount(bytes, locale), text);
    }

    void percent_data()
    {
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("text");

        QTest::newRow("a third saved") << 0.35 << "35%";
        QTest::newRow("below half a percent") << 0.0049 << "0%";
        QTest::newRow("halves to even") << 0.125 << "12%";
        QTest::newRow("no negative zero") << -0.001 << "0%";
        QTest::newRow("grew") << -0.25 << "-25%";
        QTest::newRow("undefined") << std::numeric_limits<double>::quiet_NaN() << "-";
    }

    void percent()
    {
        QFETCH(double, fraction);
        QFETCH(QString, text);
        QCOMPARE(PercentFormatter::stringFromFraction(fraction, QLocale(QLocale::English, QLocale::UnitedStates)),
                 text);
    }
};

QTEST_MAIN(tst_RowTexts)
#include "tst_rowtexts.moc"
