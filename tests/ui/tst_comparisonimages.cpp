// SPDX-License-Identifier: GPL-3.0-or-later
// The before/after view's pictures: a source with EXIF orientation and the output the real
// pipeline makes of it come out upright and equal in size, whole at a fit size and in parts at
// full resolution, so the two sides line up pixel for pixel.

#include "ComparisonImageProvider.h"
#include "CompressionService.h"
#include "JPEGPreviewDecoder.h"
#include "StandardCompressionService.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QTemporaryDir>
#include <QTest>

using namespace pressel;

using namespace Qt::StringLiterals;

class tst_ComparisonImages : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QUrl m_source;
    QUrl m_output;
    // The upright picture: 640 x 480, red in its top-left quarter.
    QImage m_upright;

private slots:
    void initTestCase()
    {
        m_upright = TestImages::photo(640, 480);
        for (int y = 0; y < 240; ++y) {
            for (int x = 0; x < 320; ++x)
                m_upright.setPixel(x, y, qRgb(230, 20, 20));
        }
        // Stored turned a quarter anticlockwise, with orientation 6 saying to turn it back.
        const QImage stored = m_upright.transformed(QTransform().rotate(-90));
        const QString path = m_dir.filePath(u"turned.jpg"_s);
        QVERIFY(TestFiles::writeFile(path, TestImages::orientedJPEG(TestImages::encode(stored, "jpeg", 95), 6)));
        m_source = QUrl::fromLocalFile(path);
        const auto service = makeStandardCompressionService(TestFiles::buildBundle());
        const CompressionResult result = service->compressFile(m_source);
        QVERIFY2(result.outputURL, qPrintable(result.failure ? result.failure->sourceText() : u"no output"_s));
        m_output = *result.outputURL;
    }

    void bothSidesUprightAndEqual_data()
    {
        QTest::addColumn<QRect>("region");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("redPixel"); // in the decoded picture
        QTest::addColumn<QPoint>("otherPixel");
        QTest::newRow("whole, at a fit size")
            << QRect(0, 0, 640, 480) << QSize(320, 240) << QPoint(40, 40) << QPoint(280, 200);
        // An eighth comes from the DC coefficients alone, of the progressive output too.
        QTest::newRow("whole, at an eighth")
            << QRect(0, 0, 640, 480) << QSize(80, 60) << QPoint(5, 5) << QPoint(70, 50);
        QTest::newRow("a part, at an eighth")
            << QRect(160, 120, 320, 240) << QSize(40, 30) << QPoint(5, 5) << QPoint(35, 25);
        QTest::newRow("whole, at full resolution")
            << QRect(0, 0, 640, 480) << QSize() << QPoint(100, 100) << QPoint(500, 100);
        QTest::newRow("a part across the corner, at 100 %")
            << QRect(280, 200, 100, 80) << QSize() << QPoint(10, 10) << QPoint(90, 70);
        QTest::newRow("a part reaching past the edge")
            << QRect(600, 400, 100, 100) << QSize() << QPoint(-1, -1) << QPoint(20, 20);
    }

    void bothSidesUprightAndEqual()
    {
        QFETCH(QRect, region);
        QFETCH(QSize, size);
        QFETCH(QPoint, redPixel);
        QFETCH(QPoint, otherPixel);
        const QSize reference(640, 480);
        const auto source =
            ComparisonImageProvider::picture(ComparisonImageProvider::pictureId(m_source, region, reference), size);
        const auto output =
            ComparisonImageProvider::picture(ComparisonImageProvider::pictureId(m_output, region, reference), size);
        QVERIFY(source && output);
        const QSize expected = size.isValid() ? size : (region & QRect(QPoint(), reference)).size();
        QCOMPARE(source->size(), expected);
        QCOMPARE(output->size(), expected);
        const auto isRed = [](QRgb pixel) {
            return qRed(pixel) > 180 && qGreen(pixel) < 90 && qBlue(pixel) < 90;
        };
        for (const QImage &side : {*source, *output}) {
            if (redPixel.x() >= 0)
                QVERIFY2(isRed(side.pixel(redPixel)), "the red corner is top left");
            QVERIFY2(!isRed(side.pixel(otherPixel)), "only the top-left corner is red");
        }
        QVERIFY2(TestImages::meanColourError(*source, *output) < 8, "the sides differ only by compression");
    }

    // The view reads a progressive file as far as its DC scans, through a store of DC terms that
    // never holds the whole picture. Without subsampled colour, an eighth is then libjpeg's own,
    // however late the DC terms are refined; with it, the same coefficients written either way
    // give the same eighth.
    void eighthFromDCTerms()
    {
        const auto tool = [&](const QString &name, QStringList arguments, const QString &output) {
            arguments.insert(arguments.size() - 1, u"-outfile"_s);
            arguments.insert(arguments.size() - 1, m_dir.filePath(output));
            return TestFiles::run(name, arguments).exitCode == 0 ? m_dir.filePath(output) : QString();
        };
        const auto eighth = [](const QString &path) {
            QFile file(path);
            const auto preview = file.open(QIODevice::ReadOnly) ? JPEGPreviewDecoder::decode(file, 1 << 30)
                                                                : std::nullopt;
            return preview ? preview->image.convertToFormat(QImage::Format_RGB32) : QImage();
        };
        QVERIFY(m_upright.save(m_dir.filePath(u"photo.ppm"_s)));
        const QString sequential = tool(u"cjpeg"_s, {u"-sample"_s, u"1x1"_s, m_dir.filePath(u"photo.ppm"_s)}, u"444.jpg"_s);
        const QString progressive = tool(u"jpegtran"_s, {u"-progressive"_s, sequential}, u"444p.jpg"_s);
        for (const QString &path : {sequential, progressive}) {
            const QString reference = tool(u"djpeg"_s, {u"-scale"_s, u"1/8"_s, path}, u"eighth.ppm"_s);
            QVERIFY(!eighth(path).isNull());
            QCOMPARE(eighth(path), QImage(reference).convertToFormat(QImage::Format_RGB32));
        }
        const QString outputSequential = tool(u"jpegtran"_s, {m_output.toLocalFile()}, u"420.jpg"_s);
        QVERIFY(!eighth(outputSequential).isNull());
        QCOMPARE(eighth(m_output.toLocalFile()), eighth(outputSequential));
    }
};

QTEST_GUILESS_MAIN(tst_ComparisonImages)

#include "tst_comparisonimages.moc"
