// A 200-megapixel photo compressed through pressel-cli, with its time and peak memory reported.

#include "TestFiles.h"

#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;

class LargeCLITest : public QObject
{
    Q_OBJECT

private slots:
    void compressesA200MegapixelPhoto()
    {
        // 16330 x 12250, a 200-megapixel phone sensor's size. A photo-like tile repeated over the
        // whole picture keeps the fixture quick to make.
        constexpr int width = 16330;
        constexpr int height = 12250;
        QTemporaryDir dir;
        const QString path = dir.filePath(u"huge photo.jpg"_s);
        {
            QImage tile(1024, 768, QImage::Format_RGB32);
            for (int y = 0; y < tile.height(); ++y) {
                for (int x = 0; x < tile.width(); ++x)
                    tile.setPixel(x, y, qRgb((x * 7 + y) % 256, (y * 3 + (x ^ y)) % 256, (x * y / 64) % 256));
            }
            QImage picture(width, height, QImage::Format_RGB32);
            QPainter painter(&picture);
            for (int y = 0; y < height; y += tile.height())
                for (int x = 0; x < width; x += tile.width())
                    painter.drawImage(x, y, tile);
            painter.end();
            QImageWriter writer(path, "jpeg");
            writer.setQuality(95);
            QVERIFY(writer.write(picture));
        }

        const ProcessRun run = TestFiles::run(buildPath(u"bin/pressel-cli"_s), {u"--json"_s, path}, {.measured = true});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        const QJsonArray rows = run.rows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][u"status"_s].toString(), u"success"_s);
        const QString output = rows[0][u"output"_s].toString();
        QCOMPARE(output, dir.filePath(u"huge photo-1.jpg"_s));
        QCOMPARE(QImageReader(output).size(), QSize(width, height));
        qInfo("200-megapixel jpeg, %lld -> %lld bytes, peak %lld KiB", rows[0][u"originalBytes"_s].toInteger(),
              rows[0][u"compressedBytes"_s].toInteger(), run.peakMemoryKiB.value_or(-1));
    }
};

QTEST_GUILESS_MAIN(LargeCLITest)
#include "tst_cli_large.moc"
