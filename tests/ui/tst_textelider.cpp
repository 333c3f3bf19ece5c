// Cutting selectable detail lines to a number of lines.

#include "TextElider.h"

#include <QFont>
#include <QTest>
#include <QTextLayout>

namespace {

QFont testFont()
{
    QFont font(QStringLiteral("Noto Sans CJK SC"));
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

class tst_TextElider : public QObject
{
    Q_OBJECT

private slots:
    void keepsTextThatFits_data();
    void keepsTextThatFits();
    void cutsLongText_data();
    void cutsLongText();
};

void tst_TextElider::keepsTextThatFits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maximumLineCount");

    QTest::newRow("empty") << QString() << 2;
    QTest::newRow("short path") << QStringLiteral("/photos/a-1.jpg") << 2;
    QTest::newRow("short message") << QStringLiteral("压缩后体积未变小，已保留原图") << 1;
}

void tst_TextElider::keepsTextThatFits()
{
    QFETCH(QString, text);
    QFETCH(int, maximumLineCount);
    TextElider elider;
    QCOMPARE(elider.elide(text, testFont(), 400, maximumLineCount), text);
}

void tst_TextElider::cutsLongText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maximumLineCount");

    const QString path = QStringLiteral("/home/user/Pictures/") +
                         QStringLiteral("a-folder-with-a-long-name/").repeated(20) + QStringLiteral("photo-1.jpg");
    QTest::newRow("path without blanks, two lines") << path << 2;
    QTest::newRow("path, one line") << path << 1;
    QTest::newRow("Chinese message") << QStringLiteral("无法读取图片：").repeated(30) << 2;
    QTest::newRow("words") << QStringLiteral("the encoder failed ").repeated(30) << 2;
}

void tst_TextElider::cutsLongText()
{
    QFETCH(QString, text);
    QFETCH(int, maximumLineCount);
    const QFont font = testFont();
    const qreal width = 300;
    TextElider elider;

    const QString elided = elider.elide(text, font, width, maximumLineCount);
    QVERIFY(elided.endsWith(u'…'));
    QVERIFY(text.startsWith(elided.chopped(1)));
    QVERIFY(elided.size() < text.size());
    QCOMPARE(lineCount(elided, font, width), maximumLineCount);
}

QTEST_MAIN(tst_TextElider)

#include "tst_textelider.moc"
