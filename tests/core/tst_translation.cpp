// SPDX-License-Identifier: GPL-3.0-or-later
// The choice of language, and every failure's words in both languages.

#include "BatchTotals.h"
#include "Failure.h"
#include "Translation.h"

#include <QCoreApplication>
#include <QTest>
#include <QTranslator>

using namespace pressel;

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Failure)
Q_DECLARE_METATYPE(BatchTotals)

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

    // Every reason's words, in both languages, as a row and pressel-cli show them.
    void reasons_data()
    {
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<QString>("chinese");
        QTest::addColumn<QString>("english");
        const auto row = [](Failure failure) -> QTestData & {
            return QTest::newRow(qPrintable(failure.reasonName())) << failure;
        };
        row(Failure::readFailed) << u"图片读取失败"_s << u"Couldn't read the image"_s;
        row(Failure::imageDecodeFailed) << u"无法解码图片内容"_s << u"Couldn't decode the image"_s;
        row(Failure::destinationCreateFailed) << u"导出器创建失败"_s << u"Couldn't create the output file"_s;
        row(Failure::writeFailed) << u"文件写入失败"_s << u"Couldn't write the file"_s;
        row(Failure::outputStatFailed) << u"无法读取输出文件大小"_s << u"Couldn't read the size of the output file"_s;
        row(Failure::notSmaller) << u"压缩后体积未变小，已保留原图"_s
                                 << u"Not smaller after compression; the original is kept"_s;
        row({Failure::unsupportedFormat, {u"gif"_s}}) << u"当前阶段暂不处理该格式：gif"_s
                                                      << u"This format isn't supported yet: gif"_s;
        row(Failure::heifUnsupported) << u"当前阶段暂不处理 HEIC / HEIF"_s << u"HEIC and HEIF aren't supported yet"_s;
        row(Failure::tiffUnsupported) << u"当前阶段暂不处理 TIFF"_s << u"TIFF isn't supported yet"_s;
        // An argument that looks like a template stays as it is.
        row({Failure::fileMissing, {u"x 执行失败：%2.jpg"_s}}) << u"文件“x 执行失败：%2.jpg”不存在。"_s
                                                               << u"The file “x 执行失败：%2.jpg” doesn't exist."_s;
        row({Failure::folderCreateFailed, {u"/a/b"_s}}) << u"无法创建文件夹“/a/b”。"_s
                                                        << u"Couldn't create the folder “/a/b”."_s;
        row({Failure::toolStartFailed, {u"mozjpeg"_s, u"No such file"_s}}) << u"mozjpeg 启动失败：No such file"_s
                                                                           << u"mozjpeg couldn't start: No such file"_s;
        row({Failure::toolRunFailed, {u"mozjpeg"_s, u"Empty input file\n第二行 %1"_s}})
            << u"mozjpeg 执行失败：Empty input file\n第二行 %1"_s << u"mozjpeg failed: Empty input file\n第二行 %1"_s;
        QTest::newRow("toolRunFailed, nothing said") << Failure(Failure::toolRunFailed, {u"pngquant"_s, QString()})
                                                     << u"pngquant 执行失败：未知错误"_s << u"pngquant failed: unknown error"_s;
        row(Failure::cjpegMissing) << u"未找到 mozjpeg 的 cjpeg，可继续回退到系统 JPEG 压缩"_s
                                   << u"mozjpeg's cjpeg wasn't found; falling back to the built-in JPEG encoder"_s;
        row(Failure::pngquantMissing) << u"未找到 pngquant，可继续回退到系统 PNG 压缩"_s
                                      << u"pngquant wasn't found; falling back to the built-in PNG encoder"_s;
        row({Failure::ppmFailed, {u"No space left on device"_s}})
            << u"mozjpeg 输入预处理失败：No space left on device"_s
            << u"Couldn't prepare the image for mozjpeg: No space left on device"_s;
        row(Failure::ppmNotMade) << u"mozjpeg 输入预处理失败：无法生成 PPM"_s
                                 << u"Couldn't prepare the image for mozjpeg: no PPM could be made"_s;
        row(Failure::pngquantForeignProfile) << u"pngquant 不转换色彩配置文件：图片带有非 sRGB 的 ICC 配置文件"_s
                                             << u"pngquant doesn't convert color profiles, and this image has a non-sRGB ICC profile"_s;
        row(Failure::folderWithoutImages) << u"文件夹中没有可压缩的图片"_s << u"No images to compress in this folder"_s;
        row(Failure::folderLimitReached) << u"文件夹中的图片超过 10000 张，只处理了前 10000 张"_s
                                         << u"The folder holds more than 10,000 images; only the first 10,000 were compressed"_s;
        row(Failure::sourceChanged) << u"原图在压缩期间被改动，未保存输出"_s
                                    << u"The original changed while it was being compressed; no output was saved"_s;
        row(Failure::imageDamaged) << u"图片已损坏（数据不完整）"_s << u"The image is damaged (data missing)"_s;
        row(Failure::emptyFile) << u"文件是空的"_s << u"The file is empty"_s;
        row(Failure::isFolder) << u"这是一个文件夹：用 -r 压缩其中的图片，或在窗口中打开"_s
                               << u"This is a folder: use -r to compress the images in it, or open it in the window"_s;
        row({Failure::folderNotWritable, {u"/a/b"_s}}) << u"无法写入文件夹“/a/b”"_s << u"Can't write to the folder “/a/b”"_s;
    }

    void reasons()
    {
        QFETCH(Failure, failure);
        QFETCH(QString, chinese);
        QFETCH(QString, english);
        QCOMPARE(failure.sourceText(), chinese);
        QCOMPARE(failure.text(), chinese); // no translation installed
        QTranslator translator;
        QVERIFY(translator.load(u":/i18n/pressel_en.qm"_s));
        QCoreApplication::installTranslator(&translator);
        QCOMPARE(failure.text(), english);
        QCOMPARE(failure.sourceText(), chinese);
        QCoreApplication::removeTranslator(&translator);
    }

    // A batch's totals read naturally in both languages: plurals, sizes under a kilobyte in
    // bytes, and no saving named when nothing was saved.
    void totals_data()
    {
        QTest::addColumn<BatchTotals>("totals");
        QTest::addColumn<QString>("chinese");
        QTest::addColumn<QString>("english");
        QTest::newRow("one saved") << BatchTotals{.fileCount = 1, .originalBytes = 2000, .savedBytes = 700}
                                   << u"1 个文件 · 节省 700 B（35%）"_s << u"1 file · 700 B saved (35%)"_s;
        QTest::newRow("nothing saved") << BatchTotals{.fileCount = 3, .skippedCount = 2, .failedCount = 1}
                                       << u"3 个文件 · 2 个跳过 · 1 个失败"_s << u"3 files · 2 skipped · 1 failed"_s;
        QTest::newRow("left out") << BatchTotals{.earlierOutputCount = 1, .alreadyCompressedCount = 2}
                                  << u"2 个已压缩过 · 已跳过 1 个 Pressel 输出"_s
                                  << u"2 already done · Skipped 1 earlier Pressel output"_s;
    }

    void totals()
    {
        QFETCH(BatchTotals, totals);
        QFETCH(QString, chinese);
        QFETCH(QString, english);
        const QLocale locale(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(totals.text(locale), chinese);
        QTranslator translator;
        QVERIFY(translator.load(u":/i18n/pressel_en.qm"_s));
        QCoreApplication::installTranslator(&translator);
        QCOMPARE(totals.text(locale), english);
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_GUILESS_MAIN(tst_Translation)

#include "tst_translation.moc"
