// The in-process JPEG and PNG encoders: quality handed over as it is, lossless PNG at zlib's
// best level, upright pixels, no metadata or profile of the
// source, and atomic writes: a refused or failed write leaves nothing under the output name.
//
// A write that fails part way runs in a child process of this same executable
// (`--encode-child`), which limits the size of the files it may write without touching the
// test process itself.

#include "InProcessBackend.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QColorSpace>
#include <QCoreApplication>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;
using namespace TestImages;

namespace {

// A literal's bytes, embedded NULs included.
template<qsizetype size> QByteArray bytesOf(const char (&literal)[size])
{
    return QByteArray(literal, size - 1);
}

Expected<CompressionArtifact> compressWith(const QString &encoder, const QString &source, const QString &output,
                                           double quality = 0.75)
{
    const ImageProfile profile = profileFor(source, ImageFormat::jpeg(u"jpg"_s));
    if (encoder == u"png")
        return InProcessBackend(u"public.png"_s, std::nullopt).compress(profile, QUrl::fromLocalFile(output));
    return InProcessBackend(u"public.jpeg"_s, quality).compress(profile, QUrl::fromLocalFile(output));
}

// The child: `--encode-child ENCODER SOURCE OUTPUT [FILE-SIZE-LIMIT]`; prints the error's text
// or "ok", and exits 0 when it could run the encoder at all.
int runEncodeChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() >= 6) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
        const rlim_t limit = arguments[5].toULongLong();
        const rlimit fileSize{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
            return 2;
    }
    const auto artifact = compressWith(arguments[2], arguments[3], arguments[4]);
    std::fputs(artifact ? "ok" : artifact.error().localizedDescription().toUtf8().constData(), stdout);
    std::fflush(stdout);
    // Straight out: Qt's PNG writer leaks a buffer when libpng gives up on a write, and a leak
    // checker would otherwise turn this child's answer into a failure.
    std::_Exit(0);
}

} // namespace

class ImageIOEncodersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_in.isValid() && m_out.isValid()); }

    void cleanupTestCase()
    {
        for (auto it = m_sources.cbegin(); it != m_sources.cend(); ++it)
            QVERIFY2(TestImages::sha256(it.key()) == it.value(), qPrintable(u"source changed: "_s + it.key()));
    }

    void jpegQualityIsHandedOverUnchanged_data()
    {
        QTest::addColumn<double>("quality");
        QTest::addColumn<int>("libjpegQuality");

        QTest::newRow("0.75") << 0.75 << 75;
        QTest::newRow("0.3") << 0.3 << 30;
    }

    void jpegQualityIsHandedOverUnchanged()
    {
        QFETCH(double, quality);
        QFETCH(int, libjpegQuality);

        const QString path = source(u"quality.jpg"_s, encode(TestImages::photo(64, 64), "jpeg", 95));
        const QString out = output(u"quality-out.jpg"_s);
        QVERIFY(compressWith(u"jpeg"_s, path, out, quality));
        // libjpeg scales its standard luminance table by the quality; these are its first six
        // entries in zig-zag order.
        const int scale = libjpegQuality < 50 ? 5000 / libjpegQuality : 200 - 2 * libjpegQuality;
        QByteArray expected;
        for (int entry : {16, 11, 12, 14, 12, 10})
            expected += char(std::clamp((entry * scale + 50) / 100, 1, 255));
        QCOMPARE(firstQuantisationTable(readFile(out)).left(6), expected);
        QFile::remove(out);
    }

    void jpegPixelsAreUpright()
    {
        // Left half red, right half blue, stored sideways with orientation 6 (turn right to view).
        QImage stored(64, 32, QImage::Format_RGB32);
        stored.fill(qRgb(220, 20, 20));
        for (int y = 0; y < 32; ++y)
            for (int x = 32; x < 64; ++x)
                stored.setPixel(x, y, qRgb(20, 20, 220));
        const QString path =
            source(u"sideways.jpg"_s, insertJPEGSegment(encode(stored, "jpeg", 95), 0xE1, exifPayload(6)));
        const QString out = output(u"sideways-1.jpg"_s);
        QVERIFY(compressWith(u"jpeg"_s, path, out));

        const QByteArray written = readFile(out);
        QVERIFY2(!hasJPEGSegment(written, 0xE1), "no orientation tag that a viewer would apply a second time");
        QImageReader reader(out);
        reader.setAutoTransform(false);
        const QImage pixels = reader.read();
        QCOMPARE(pixels.size(), QSize(32, 64));
        QVERIFY(qRed(pixels.pixel(16, 8)) > 180 && qBlue(pixels.pixel(16, 8)) < 80);   // red on top
        QVERIFY(qBlue(pixels.pixel(16, 56)) > 180 && qRed(pixels.pixel(16, 56)) < 80); // blue below
        QFile::remove(out);
    }

    void pngIsLosslessAtItsOwnDepth_data()
    {
        QTest::addColumn<QImage>("image");

        QImage deep(40, 30, QImage::Format_RGBA64);
        QImage deepGrey(40, 30, QImage::Format_Grayscale16);
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                deep.setPixelColor(x, y,
                                   QColor::fromRgba64(quint16(x * 1499 + y), quint16(y * 2111 + 5), quint16(x * y * 53),
                                                      quint16(65535 - x * 17 - y)));
                reinterpret_cast<quint16 *>(deepGrey.scanLine(y))[x] = quint16(x * 1601 + y * 7);
            }
        }
        QTest::newRow("8-bit rgb") << TestImages::photo(40, 30);
        QTest::newRow("8-bit rgba") << TestImages::transparentGraphic(40, 30);
        QTest::newRow("16-bit rgba") << deep;
        QTest::newRow("16-bit grey") << deepGrey;
        QTest::newRow("8-bit grey") << TestImages::photo(40, 30).convertToFormat(QImage::Format_Grayscale8);
        QTest::newRow("palette") << TestImages::transparentGraphic(40, 30).convertToFormat(QImage::Format_Indexed8);
    }

    void pngIsLosslessAtItsOwnDepth()
    {
        QFETCH(QImage, image);

        const QByteArray bytes = encode(image, "png", 100); // the least compression Qt writes
        const QString path = source(u"lossless.png"_s, bytes);
        const QString out = output(u"lossless-1.png"_s);
        QVERIFY(compressWith(u"png"_s, path, out));
        const QByteArray written = readFile(out);
        QCOMPARE(pngDepthAndColourType(written), pngDepthAndColourType(bytes));
        QCOMPARE(QImage::fromData(written).convertToFormat(QImage::Format_RGBA64),
                 QImage::fromData(bytes).convertToFormat(QImage::Format_RGBA64));
        QFile::remove(out);
    }

    void pngUsesTheBestCompressionLevel()
    {
        const QString path = source(u"level.png"_s, encode(TestImages::photo(64, 64), "png", 100));
        const QString out = output(u"level-1.png"_s);
        QVERIFY(compressWith(u"png"_s, path, out));
        const QByteArray written = readFile(out);
        const qsizetype data = written.indexOf("IDAT");
        QVERIFY(data > 0);
        const int flevel = quint8(written[data + 5]) >> 6; // FLEVEL of the zlib header: 3 is the best level
        QCOMPARE(flevel, 3);
        QFile::remove(out);
    }

    void metadataIsNotCopied_data()
    {
        QTest::addColumn<QString>("encoder");
        QTest::addColumn<QByteArray>("bytes");

        QImage photo = TestImages::photo(48, 32);
        photo.setColorSpace(QColorSpace::DisplayP3); // outputs are sRGB and carry no profile
        QByteArray jpeg = insertJPEGSegment(encode(photo, "jpeg", 95), 0xFE, "secret comment");
        jpeg = insertJPEGSegment(jpeg, 0xE1, bytesOf("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta>secret</x:xmpmeta>"));
        jpeg = insertJPEGSegment(jpeg, 0xE1, exifPayload(1, "secret GPS 47.37N 8.54E"));
        QTest::newRow("jpeg") << "jpeg" << jpeg;

        QByteArray png = insertPNGChunk(encode(photo, "png"), "tEXt", bytesOf("Comment\0secret comment"));
        png = insertPNGChunk(png, "iTXt", bytesOf("XML:com.adobe.xmp\0\0\0\0\0<x:xmpmeta>secret</x:xmpmeta>"));
        png = insertPNGChunk(png, "eXIf", exifPayload(1, "secret GPS").mid(6));
        QTest::newRow("png") << "png" << png;
    }

    void metadataIsNotCopied()
    {
        QFETCH(QString, encoder);
        QFETCH(QByteArray, bytes);

        const QString path = source(u"tagged."_s + encoder, bytes);
        const QString out = output(u"tagged-1."_s + encoder);
        QVERIFY(compressWith(encoder, path, out));
        const QByteArray written = readFile(out);
        QVERIFY(!written.contains("secret"));
        if (encoder == u"jpeg") {
            QVERIFY(hasJPEGSegment(bytes, 0xE2, "ICC_PROFILE"));
            for (const quint8 marker : {0xE1, 0xE2, 0xFE})
                QVERIFY(!hasJPEGSegment(written, marker));
        } else {
            QVERIFY(pngChunkTypes(bytes).contains("iCCP"));
            for (const char *type : {"tEXt", "zTXt", "iTXt", "eXIf", "iCCP"})
                QVERIFY2(!pngChunkTypes(written).contains(type), type);
        }
        QFile::remove(out);
    }

    void failedWriteLeavesNothing_data()
    {
        QTest::addColumn<QString>("encoder");
        QTest::addColumn<int>("side");
        QTest::newRow("jpeg, failing while it writes") << "jpeg" << 256;
        QTest::newRow("png, failing while it writes") << "png" << 256;
        // Outputs of 5 to 16 kB: the write buffer holds them, only the last flush meets the full disk.
        QTest::newRow("jpeg, failing at the last flush") << "jpeg" << 110;
        QTest::newRow("png, failing at the last flush") << "png" << 64;
    }

    void failedWriteLeavesNothing()
    {
        QFETCH(QString, encoder);
        QFETCH(int, side);

        // A file-size limit of 4 kB stands in for a full disk.
        QTemporaryDir dir;
        const QString path = dir.filePath(u"photo.png"_s);
        QVERIFY(writeFile(path, encode(TestImages::noise(side, side), "png")));
        const ProcessRun child =
            run(QCoreApplication::applicationFilePath(),
                {u"--encode-child"_s, encoder, path, dir.filePath(u"photo-1."_s + encoder), u"4096"_s});
        QVERIFY2(child.finished && child.exitCode == 0, qPrintable(child.describe()));
        QCOMPARE(QString::fromUtf8(child.standardOutput), u"文件写入失败"_s);
        QCOMPARE(entryNames(dir.path()), QStringList{u"photo.png"_s});
    }

private:
    QString source(const QString &name, const QByteArray &bytes);
    QString output(const QString &name) const { return m_out.filePath(name); }

    QTemporaryDir m_in;
    QTemporaryDir m_out;
    QMap<QString, QByteArray> m_sources;
};

QString ImageIOEncodersTest::source(const QString &name, const QByteArray &bytes)
{
    const QString path = m_in.filePath(name);
    if (!writeFile(path, bytes))
        return {};
    m_sources.insert(path, TestImages::sha256(path));
    return path;
}

int main(int argc, char **argv)
{
    if (argc >= 5 && qstrcmp(argv[1], "--encode-child") == 0)
        return runEncodeChild(argc, argv);
    QCoreApplication app(argc, argv);
    ImageIOEncodersTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_imageioencoders.moc"
