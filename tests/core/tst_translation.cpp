// SPDX-License-Identifier: GPL-3.0-or-later
// The choice of language and the translation of a row's message as it is shown: composed
// messages are translated part by part, anything else passes unchanged.

#include "CompressionMessage.h"
#include "Translation.h"

#include <QCoreApplication>
#include <QTest>
#include <QTranslator>

using namespace pressel;

using namespace Qt::StringLiterals;

class tst_Translation : public QObject
{
    Q_OBJECT

private slots:
    void languageChoice_data()
    {
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<QString>("file");
        const QString english = u":/i18n/pressel_en.qm"_s;
        QTest::newRow("Chinese") << QStringList{u"zh-CN"_s, u"zh"_s} << QString();
        QTest::newRow("C locale") << QStringList{u"C"_s} << QString();
        QTest::newRow("English") << QStringList{u"en-GB"_s, u"en"_s} << english;
        QTest::newRow("only the first counts") << QStringList{u"fr-FR"_s, u"zh-CN"_s} << english;
    }

    void languageChoice()
    {
        QFETCH(QStringList, uiLanguages);
        QFETCH(QString, file);
        QCOMPARE(Translation::fileFor(uiLanguages), file);
    }

    void shownMessages_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("english");
        using namespace CompressionMessage;
        QTest::newRow("fixed") << text(notSmaller) << u"Not smaller after compression; the original is kept"_s;
        QTest::newRow("argument kept") << text(unsupportedFormat, {u"gif"_s})
                                       << u"This format isn't supported yet: gif"_s;
        QTest::newRow("fixed argument translated")
            << text(toolRunFailed, {u"pngquant"_s, text(unknownToolError)}) << u"pngquant failed: unknown error"_s;
        QTest::newRow("tool's own words kept") << text(toolRunFailed, {u"mozjpeg"_s, u"Empty input file\n第二行"_s})
                                               << u"mozjpeg failed: Empty input file\n第二行"_s;
        QTest::newRow("the most specific template")
            << text(toolScratchExists, {u"pngquant"_s, u"/tmp/a-1.png.tmp"_s})
            << u"pngquant couldn't start: its temporary file already exists: /tmp/a-1.png.tmp"_s;
        QTest::newRow("a name that looks like a template")
            << text(fileMissing, {u"x 执行失败：%2.jpg"_s}) << u"The file “x 执行失败：%2.jpg” doesn't exist."_s;
        QTest::newRow("not ours") << u"磁盘已满"_s << u"磁盘已满"_s;
    }

    void shownMessages()
    {
        QFETCH(QString, message);
        QFETCH(QString, english);
        QCOMPARE(CompressionMessage::translated(message), message); // no translation installed
        QTranslator translator;
        QVERIFY(translator.load(u":/i18n/pressel_en.qm"_s));
        QCoreApplication::installTranslator(&translator);
        QCOMPARE(CompressionMessage::translated(message), english);
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_GUILESS_MAIN(tst_Translation)

#include "tst_translation.moc"
