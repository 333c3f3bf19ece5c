// SPDX-License-Identifier: GPL-3.0-or-later
// A longest side, a target size and the automatic quality through pressel-cli, with the build
// tree's cjpeg and pngquant; every output is read back by Qt's own readers, not by the
// pipeline's decoder, but for the Butteraugli distance, measured as the search measures it.

#include "AutoQualitySearch.h"
#include "ButteraugliDistance.h"
#include "ImageCodec.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace TestFiles;
using namespace TestImages;

namespace {

// A photo as viewed, red in its top left corner and blue in its bottom right one.
QImage markedPhoto(int width, int height)
{
    QImage picture = photo(width, height).convertToFormat(QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.fillRect(0, 0, width / 5, height / 5, Qt::red);
    painter.fillRect(width - width / 5, height - height / 5, width / 5, height / 5, Qt::blue);
    return picture;
}

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
}

bool isBlue(QRgb pixel)
{
    return qBlue(pixel) > 200 && qRed(pixel) < 60 && qGreen(pixel) < 60;
}

QJsonObject onlyRow(const ProcessRun &run)
{
    const QJsonArray rows = run.rows();
    return rows.size() == 1 ? rows.first().toObject() : QJsonObject();
}

} // namespace

class tst_Size : public QObject
{
    Q_OBJECT

private slots:
    void resize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("maximumSide");
        QTest::addColumn<QSize>("expected"); // as viewed; invalid: not resized
        QTest::addColumn<QStringList>("options");

        // Stored turned for each orientation, viewed 1200×800 upright; 500 leaves 333.33 rows.
        const QImage viewed = markedPhoto(1200, 800);
        for (int orientation = 1; orientation <= 8; ++orientation)
            QTest::addRow("orientation %d", orientation)
                << u"photo.jpg"_s << orientedJPEG(jpeg(storedForOrientation(viewed, orientation)), orientation)
                << u"500"_s << QSize(500, 333) << QStringList();
        QTest::newRow("PNG with alpha, through pngquant")
            << u"graphic.png"_s << storedPNG(transparentGraphic(800, 600)) << u"300"_s << QSize(300, 225) << QStringList();
        QTest::newRow("smaller picture") << u"photo.jpg"_s << jpeg(viewed) << u"1200"_s << QSize() << QStringList();
        // A conversion takes the resized picture; a lossless JPEG has no coefficients left to keep.
        QTest::newRow("converted to WebP") << u"photo.jpg"_s << orientedJPEG(jpeg(storedForOrientation(viewed, 6)), 6)
                                           << u"500"_s << QSize(500, 333) << QStringList{u"--format"_s, u"webp"_s};
        QTest::newRow("lossless JPEG") << u"photo.jpg"_s << jpeg(viewed) << u"500"_s << QSize(500, 333)
                                       << QStringList{u"--jpeg-lossless"_s};
    }

    // The longest side comes out exactly, upright, never enlarged; a resized PNG is still
    // pngquant's (a palette PNG); a picture not resized gives the bytes it gives without the option.
    void resize()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, source);
        QFETCH(QString, maximumSide);
        QFETCH(QSize, expected);
        QFETCH(QStringList, options);

        QTemporaryDir resized;
        QTemporaryDir plain;
        QVERIFY(writeFile(resized.filePath(name), source) && writeFile(plain.filePath(name), source));
        const ProcessRun run = TestFiles::run(presselCLIPath(),
                                              QStringList{u"--json"_s, u"--max-size"_s, maximumSide, name} + options,
                                              {resized.path()});
        const QJsonObject row = onlyRow(run);
        QVERIFY2(row[u"status"_s] == u"success"_s, qPrintable(run.describe()));
        const QByteArray output = readFile(row[u"output"_s].toString());
        const QImage image = TestImages::viewed(output);
        if (!expected.isValid()) {
            QVERIFY(!row.contains(u"resizedTo"_s));
            const ProcessRun today = TestFiles::run(presselCLIPath(), {u"--json"_s, name}, {plain.path()});
            QCOMPARE(output, readFile(onlyRow(today)[u"output"_s].toString()));
            return;
        }
        QCOMPARE(image.size(), expected);
        QCOMPARE(row[u"resizedTo"_s][u"width"_s].toInt(), expected.width());
        QCOMPARE(row[u"resizedTo"_s][u"height"_s].toInt(), expected.height());
        QVERIFY(!row[u"lossless"_s].toBool());
        if (name.endsWith(u".png"_s)) {
            QCOMPARE(output.at(25), char(3)); // IHDR's colour type: indexed, as pngquant writes
            QVERIFY(image.hasAlphaChannel() && qAlpha(image.pixel(0, 0)) == 0);
        } else {
            QVERIFY(isRed(image.pixel(10, 10)));
            QVERIFY(isBlue(image.pixel(expected.width() - 10, expected.height() - 10)));
        }
    }

    void targetSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("reason"); // empty: a success within the target

        const QByteArray photoJPEG = jpeg(photo(1600, 1200), {.quality = 95});
        QTest::newRow("JPEG fits") << u"photo.jpg"_s << photoJPEG << QStringList{u"--target-size"_s, u"100"_s}
                                   << QString();
        QTest::newRow("JPEG resized and fits")
            << u"photo.jpg"_s << photoJPEG << QStringList{u"--max-size"_s, u"800"_s, u"--target-size"_s, u"12"_s}
            << QString();
        QTest::newRow("converted to WebP, fits")
            << u"photo.jpg"_s << photoJPEG << QStringList{u"--format"_s, u"webp"_s, u"--target-size"_s, u"100"_s}
            << QString();
        QTest::newRow("PNG fits") << u"photo.png"_s << storedPNG(photo(600, 400))
                                  << QStringList{u"--target-size"_s, u"60"_s} << QString();
        QTest::newRow("JPEG cannot fit") << u"photo.jpg"_s << photoJPEG << QStringList{u"--target-size"_s, u"5"_s}
                                         << u"targetSizeUnreachable"_s;
    }

    // Fits, or fails its row and leaves nothing; 1 kB is 1000 bytes.
    void targetSize()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, source);
        QFETCH(QStringList, options);
        QFETCH(QString, reason);

        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(name), source));
        const ProcessRun run = TestFiles::run(presselCLIPath(), QStringList{u"--json"_s} + options + QStringList{name},
                                              {dir.path()});
        const QJsonObject row = onlyRow(run);
        if (!reason.isEmpty()) {
            QVERIFY2(row[u"reason"_s] == reason && run.exitCode == 1, qPrintable(run.describe()));
            QCOMPARE(entryNames(dir.path()), QStringList{name});
            return;
        }
        QVERIFY2(row[u"status"_s] == u"success"_s, qPrintable(run.describe()));
        const qsizetype targetAt = options.indexOf(u"--target-size"_s);
        const qint64 target = options.at(targetAt + 1).toLongLong() * 1000;
        const qint64 bytes = row[u"compressedBytes"_s].toInteger();
        // The settings' own quality does not fit: the search had to lower it, and no further
        // than it had to.
        QStringList untargeted = options;
        untargeted.remove(targetAt, 2);
        QTemporaryDir plain;
        QVERIFY(writeFile(plain.filePath(name), source));
        const qint64 untargetedBytes =
            onlyRow(TestFiles::run(presselCLIPath(), QStringList{u"--json"_s} + untargeted + QStringList{name},
                                   {plain.path()}))[u"compressedBytes"_s]
                .toInteger();
        QVERIFY(row[u"quality"_s].toInt() < 95);
        QVERIFY2(bytes <= target && target < untargetedBytes && bytes > target * 3 / 4,
                 qPrintable(u"%1 bytes, %2 without a target"_s.arg(bytes).arg(untargetedBytes)));
        const QString output = row[u"output"_s].toString();
        if (output.endsWith(u".webp"_s))
            QCOMPARE(TestImages::viewed(readFile(output)).size(), QSize(1600, 1200));
        else
            QVERIFY(checkOutput(output, name.endsWith(u".png"_s) ? "png" : "jpeg").isEmpty());
    }

    // The metric itself: nothing between a picture and itself, more for a worse copy.
    void butteraugliDistance()
    {
        const QImage picture = photo(400, 300);
        const pressel::ButteraugliDistance metric;
        QCOMPARE(metric.compare(picture, picture)->max, 0.0);
        const double slight = metric.compareEncoded(picture, jpeg(picture, {.quality = 90}))->max;
        const double visible = metric.compareEncoded(picture, jpeg(picture, {.quality = 20}))->max;
        QVERIFY2(0 < slight && slight < visible, qPrintable(u"%1, %2"_s.arg(slight).arg(visible)));
    }

    void autoQuality_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("highest"); // the format's panel maximum; 0: no quality chosen

        QTest::newRow("JPEG") << u"photo.jpg"_s << QStringList() << 95;
        QTest::newRow("resized") << u"photo.jpg"_s << QStringList{u"--max-size"_s, u"800"_s} << 95;
        QTest::newRow("to WebP") << u"photo.jpg"_s << QStringList{u"--format"_s, u"webp"_s} << 98;
        QTest::newRow("to AVIF") << u"photo.jpg"_s << QStringList{u"--format"_s, u"avif"_s} << 95;
        QTest::newRow("PNG stays pngquant's") << u"photo.png"_s << QStringList() << 0;
    }

    // The whole output, measured full size against the (resized) source, stays near the target
    // that the search kept on the tiles, below the format's highest quality.
    void autoQuality()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, options);
        QFETCH(int, highest);

        QTemporaryDir dir;
        const QImage picture = photo(1800, 1200); // over 2 MP: searched on its tiles
        const QByteArray source = name.endsWith(u".png"_s) ? storedPNG(picture) : jpeg(picture, {.quality = 95});
        QVERIFY(writeFile(dir.filePath(name), source));
        const ProcessRun run = TestFiles::run(
            presselCLIPath(), QStringList{u"--json"_s, u"--quality"_s, u"auto"_s} + options + QStringList{name},
            {dir.path()});
        const QJsonObject row = onlyRow(run);
        QVERIFY2(row[u"status"_s] == u"success"_s, qPrintable(run.describe()));
        if (!highest) {
            QVERIFY(!row.contains(u"quality"_s));
            return;
        }
        const int quality = row[u"quality"_s].toInt();
        QVERIFY2(quality >= 40 && quality < highest, qPrintable(run.describe()));
        const auto decoded = pressel::ImageSource::fromBytes(source)->createImageAtIndex0(
            options.contains(u"--max-size"_s) ? 800 : 1800);
        const auto distance =
            pressel::ButteraugliDistance().compareEncoded(decoded->image, readFile(row[u"output"_s].toString()));
        QVERIFY(distance);
        QVERIFY2(distance->max <= pressel::AutoQualitySearch::defaultDistance + 0.5,
                 qPrintable(u"quality %1: distance %2"_s.arg(quality).arg(distance->max)));
    }

private:
    static QString presselCLIPath() { return buildPath(u"bin/pressel-cli"_s); }
};

QTEST_MAIN(tst_Size)
#include "tst_size.moc"
