// The texts of a result row: sizes through the 1000-based byte count limited to kB and MB,
// savings in whole percent, and detail lines cut to a number of lines.

#include "ByteCountFormatter.h"
#include "PercentFormatter.h"
#include "TextElider.h"

#include <QFont>
#include <QTest>
#include <QTextLayout>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

QFont testFont()
{
    QFont font(u"Noto Sans CJK SC"_s);
    font.setPixelSize(12);
    return font;
}

int lineCount(const QString &text, const QFont &font, qreal width)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    int lines = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        ++lines;
    }
    layout.endLayout();
    return lines;
}

} // namespace

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
        QTest::newRow("largest kilobytes") << english << qint64(999'499) << "999 kB";
        QTest::newRow("rounds up into megabytes") << english << qint64(999'500) << "1 MB";
        QTest::newRow("whole megabytes drop the fraction") << english << qint64(24'000'000) << "24 MB";
        QTest::newRow("one fraction digit, half up") << english << qint64(1'250'000) << "1.3 MB";
        QTest::newRow("no gigabytes") << english << qint64(2'500'000'000) << "2,500 MB";
        QTest::newRow("largest size") << english << std::numeric_limits<qint64>::max() << "9,223,372,036,854.8 MB";
        QTest::newRow("German decimal comma") << german << qint64(1'500'000) << "1,5 MB";
        QTest::newRow("German grouping") << german << qint64(2'500'000'000) << "2.500 MB";
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
        QTest::newRow("no fraction digits") << 0.3449 << "34%";
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

    void elide_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maximumLineCount");
        QTest::addColumn<bool>("cut");

        const QString path =
            u"/home/user/Pictures/"_s + u"a-folder-with-a-long-name/"_s.repeated(20) + u"photo-1.jpg"_s;
        QTest::newRow("empty") << QString() << 2 << false;
        QTest::newRow("short path") << u"/photos/a-1.jpg"_s << 2 << false;
        QTest::newRow("short message, one line") << u"压缩后体积未变小，已保留原图"_s << 1 << false;
        QTest::newRow("path without blanks, two lines") << path << 2 << true;
        QTest::newRow("path, one line") << path << 1 << true;
        QTest::newRow("Chinese message") << u"无法读取图片："_s.repeated(30) << 2 << true;
        QTest::newRow("words") << u"the encoder failed "_s.repeated(30) << 2 << true;
    }

    void elide()
    {
        QFETCH(QString, text);
        QFETCH(int, maximumLineCount);
        QFETCH(bool, cut);

        const QString elided = TextElider().elide(text, testFont(), 300, maximumLineCount);
        if (!cut) {
            QCOMPARE(elided, text);
            return;
        }
        QVERIFY(elided.endsWith(u'…'));
        QVERIFY(text.startsWith(elided.chopped(1)));
        QVERIFY(elided.size() < text.size());
        QCOMPARE(lineCount(elided, testFont(), 300), maximumLineCount);
    }
};

QTEST_MAIN(tst_RowTexts)
#include "tst_rowtexts.moc"
