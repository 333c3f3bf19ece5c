// The in-process JPEG and PNG encoders: quality handed over as it is, optimised Huffman
// tables, lossless PNG at zlib's best level, upright pixels, no metadata of the source, colour
// kept right, and atomic writes: a refused or failed write leaves nothing under the output name.
//
// Writes that the file system refuses are tried in a child process of this same executable
// (`--encode-child`), which can drop root's privileges or limit the size of the files it may
// write without touching the test process itself.

#include "CodecFixtures.h"
#include "ImageIOJPEGCompressionBackend.h"
#include "ImageIOPNGCompressionBackend.h"
#include "TestImages.h"

#include <QColorSpace>
#include <QCoreApplication>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace CodecFixtures;

namespace {

// A literal's bytes, embedded NULs included.
template<qsizetype size>
QByteArray bytesOf(const char (&literal)[size])
{
    return QByteArray(literal, size - 1);
}

ImageProfile profileFor(const QString &path)
{
    return ImageProfile{QUrl::fromLocalFile(path), ImageFormat::jpeg(u"jpg"_s), QFileInfo(path).size(), {}, false};
}

Expected<CompressionArtifact> compressWith(const QString &encoder, const QString &source, const QString &output,
                                           double quality = 0.75)
{
    if (encoder == u"png")
        return ImageIOPNGCompressionBackend().compress(profileFor(source), QUrl::fromLocalFile(output));
    return ImageIOJPEGCompressionBackend(quality).compress(profileFor(source), QUrl::fromLocalFile(output));
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

struct ChildRun {
    bool ran = false;
    QString output;
};

ChildRun runChild(const QStringList &prefix, const QStringList &arguments)
{
    QProcess child;
    QStringList command = prefix;
    command << QCoreApplication::applicationFilePath() << u"--encode-child"_s << arguments;
    child.start(command.takeFirst(), command);
    if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return {};
    return {true, QString::fromUtf8(child.readAllStandardOutput())};
}

} // namespace

class ImageIOEncodersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void namesOutputsByTheirFormat();
    void jpegQualityIsHandedOverUnchanged_data();
    void jpegQualityIsHandedOverUnchanged();
    void jpegUsesOptimisedHuffmanTables();
    void jpegPixelsAreUpright();
    void pngIsLosslessAtItsOwnDepth_data();
    void pngIsLosslessAtItsOwnDepth();
    void pngUsesTheBestCompressionLevel();
    void metadataIsNotCopied_data();
    void metadataIsNotCopied();
    void colourStaysRight_data();
    void colourStaysRight();
    void unreadableSourcesWriteNothing_data();
    void unreadableSourcesWriteNothing();
    void missingFolderFailsToCreateTheDestination();
    void unwritableFolderFailsToCreateTheDestination_data();
    void unwritableFolderFailsToCreateTheDestination();
    void failedWriteLeavesNothing_data();
    void failedWriteLeavesNothing();

private:
    QString source(const QString &name, const QByteArray &bytes);
    QString output(const QString &name) const { return m_out.filePath(name); }

    QTemporaryDir m_in;
    QTemporaryDir m_out;
    QMap<QString, QByteArray> m_sources;
};

void ImageIOEncodersTest::initTestCase()
{
    QVERIFY(m_in.isValid() && m_out.isValid());
}

QString ImageIOEncodersTest::source(const QString &name, const QByteArray &bytes)
{
    const QString path = m_in.filePath(name);
    if (!writeFile(path, bytes))
        return {};
    m_sources.insert(path, TestImages::sha256(path));
    return path;
}

void ImageIOEncodersTest::cleanupTestCase()
{
    for (auto it = m_sources.cbegin(); it != m_sources.cend(); ++it)
        QVERIFY2(TestImages::sha256(it.key()) == it.value(), qPrintable(u"source changed: "_s + it.key()));
}

void ImageIOEncodersTest::namesOutputsByTheirFormat()
{
    const QString path = source(u"Photo.JPEG"_s, encode(TestImages::photo(16, 16), "jpeg"));
    ImageProfile profile = profileFor(path);
    profile.format = ImageFormat::jpeg(u"jpeg"_s);
    const QUrl folder = QUrl::fromLocalFile(m_in.path());
    QCOMPARE(*ImageIOJPEGCompressionBackend().makeOutputURL(profile, folder),
             QUrl::fromLocalFile(m_in.filePath(u"Photo.jpeg"_s)));
    QCOMPARE(*ImageIOPNGCompressionBackend().makeOutputURL(profile, folder),
             QUrl::fromLocalFile(m_in.filePath(u"Photo.png"_s)));
}

void ImageIOEncodersTest::jpegQualityIsHandedOverUnchanged_data()
{
    QTest::addColumn<double>("quality");
    QTest::addColumn<int>("libjpegQuality");

    QTest::newRow("0.75") << 0.75 << 75;
    QTest::newRow("0.5") << 0.5 << 50;
    QTest::newRow("0.9") << 0.9 << 90;
    QTest::newRow("0.3") << 0.3 << 30;
}

void ImageIOEncodersTest::jpegQualityIsHandedOverUnchanged()
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

void ImageIOEncodersTest::jpegUsesOptimisedHuffmanTables()
{
    const QImage photo = TestImages::photo(256, 192);
    const QString path = source(u"huffman.png"_s, encode(photo, "png"));
    const QString out = output(u"huffman.jpg"_s);
    const auto artifact = compressWith(u"jpeg"_s, path, out);
    QVERIFY(artifact);
    // The same pixels at the same quality with libjpeg's standard tables.
    QImageWriter standard(output(u"standard.jpg"_s), "jpeg");
    standard.setQuality(75);
    QVERIFY(standard.write(photo));
    QVERIFY(artifact->outputBytes < QFileInfo(output(u"standard.jpg"_s)).size());
    QFile::remove(out);
    QFile::remove(output(u"standard.jpg"_s));
}

void ImageIOEncodersTest::jpegPixelsAreUpright()
{
    // Left half red, right half blue, stored sideways with orientation 6 (turn right to view).
    QImage stored(64, 32, QImage::Format_RGB32);
    stored.fill(qRgb(220, 20, 20));
    for (int y = 0; y < 32; ++y)
        for (int x = 32; x < 64; ++x)
            stored.setPixel(x, y, qRgb(20, 20, 220));
    const QString path = source(u"sideways.jpg"_s, insertJPEGSegment(encode(stored, "jpeg", 95), 0xE1, exifPayload(6)));
    const QString out = output(u"sideways-1.jpg"_s);
    QVERIFY(compressWith(u"jpeg"_s, path, out));

    const QByteArray written = readFile(out);
    QVERIFY2(!hasJPEGSegment(written, 0xE1), "no orientation tag that a viewer would apply a second time");
    QImageReader reader(out);
    reader.setAutoTransform(false);
    const QImage pixels = reader.read();
    QCOMPARE(pixels.size(), QSize(32, 64));
    QVERIFY(qRed(pixels.pixel(16, 8)) > 180 && qBlue(pixels.pixel(16, 8)) < 80); // red on top
    QVERIFY(qBlue(pixels.pixel(16, 56)) > 180 && qRed(pixels.pixel(16, 56)) < 80); // blue below
    QFile::remove(out);
}

void ImageIOEncodersTest::pngIsLosslessAtItsOwnDepth_data()
{
    QTest::addColumn<QImage>("image");

    QImage deep(40, 30, QImage::Format_RGBA64);
    QImage deepGrey(40, 30, QImage::Format_Grayscale16);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            deep.setPixelColor(x, y, QColor::fromRgba64(quint16(x * 1499 + y), quint16(y * 2111 + 5),
                                                        quint16(x * y * 53), quint16(65535 - x * 17 - y)));
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

void ImageIOEncodersTest::pngIsLosslessAtItsOwnDepth()
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

void ImageIOEncodersTest::pngUsesTheBestCompressionLevel()
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

void ImageIOEncodersTest::metadataIsNotCopied_data()
{
    QTest::addColumn<QString>("encoder");
    QTest::addColumn<QByteArray>("bytes");

    const QImage photo = TestImages::photo(48, 32);
    QByteArray jpeg = insertJPEGSegment(encode(photo, "jpeg", 95), 0xFE, "secret comment");
    jpeg = insertJPEGSegment(jpeg, 0xE1, bytesOf("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta>secret</x:xmpmeta>"));
    jpeg = insertJPEGSegment(jpeg, 0xE1, exifPayload(1, "secret GPS 47.37N 8.54E"));
    QTest::newRow("jpeg") << "jpeg" << jpeg;

    QByteArray png = insertPNGChunk(encode(photo, "png"), "tEXt", bytesOf("Comment\0secret comment"));
    png = insertPNGChunk(png, "iTXt", bytesOf("XML:com.adobe.xmp\0\0\0\0\0<x:xmpmeta>secret</x:xmpmeta>"));
    png = insertPNGChunk(png, "eXIf", exifPayload(1, "secret GPS").mid(6));
    QTest::newRow("png") << "png" << png;
}

void ImageIOEncodersTest::metadataIsNotCopied()
{
    QFETCH(QString, encoder);
    QFETCH(QByteArray, bytes);

    const QString path = source(u"tagged."_s + encoder, bytes);
    const QString out = output(u"tagged-1."_s + encoder);
    QVERIFY(compressWith(encoder, path, out));
    const QByteArray written = readFile(out);
    QVERIFY(!written.contains("secret"));
    if (encoder == u"jpeg") {
        QVERIFY(!hasJPEGSegment(written, 0xE1));
        QVERIFY(!hasJPEGSegment(written, 0xFE));
    } else {
        for (const char *type : {"tEXt", "zTXt", "iTXt", "eXIf"})
            QVERIFY2(!pngChunkTypes(written).contains(type), type);
    }
    QFile::remove(out);
}

void ImageIOEncodersTest::colourStaysRight_data()
{
    QTest::addColumn<QString>("encoder");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<double>("tolerance");

    QImage picture(64, 16, QImage::Format_RGB32);
    const QList<QRgb> colours{qRgb(220, 60, 50), qRgb(40, 170, 90), qRgb(50, 90, 220), qRgb(240, 210, 40)};
    for (int x = 0; x < 64; ++x)
        for (int y = 0; y < 16; ++y)
            picture.setPixel(x, y, colours[x / 16]);
    QImage p3 = picture;
    p3.setColorSpace(QColorSpace::DisplayP3);
    QImage adobe = picture;
    adobe.setColorSpace(QColorSpace::AdobeRgb);
    QTest::newRow("display p3 jpeg") << "jpeg" << encode(p3, "jpeg", 100) << 1.5;
    QTest::newRow("adobe rgb png") << "png" << encode(adobe, "png") << 0.5;
}

void ImageIOEncodersTest::colourStaysRight()
{
    QFETCH(QString, encoder);
    QFETCH(QByteArray, bytes);
    QFETCH(double, tolerance);

    const QString path = source(u"wide."_s + encoder, bytes);
    const QString out = output(u"wide-1."_s + encoder);
    QVERIFY(compressWith(encoder, path, out));
    const QByteArray written = readFile(out);
    QVERIFY2(!hasJPEGSegment(written, 0xE2, "ICC_PROFILE") && !pngChunkTypes(written).contains("iCCP"),
             "outputs are sRGB and untagged");
    QImage unconverted = QImage::fromData(bytes);
    // Qt's own colour transform is the reference, put through the same lossy step as the output.
    const QImage converted = unconverted.convertedToColorSpace(QColorSpace::SRgb);
    const QImage expected = QImage::fromData(encode(converted, encoder.toLatin1().constData(), 75));
    unconverted.setColorSpace(QColorSpace());
    const double error = TestImages::meanColourError(QImage::fromData(written), expected);
    const double errorUnconverted = TestImages::meanColourError(unconverted, expected);
    QVERIFY2(errorUnconverted > 3 * tolerance, "the fixture must tell converted colours from unconverted ones");
    QVERIFY2(error < tolerance, qPrintable(u"mean colour error %1"_s.arg(error)));
    QFile::remove(out);
}

Q_DECLARE_METATYPE(CompressionPipelineError::Kind)

void ImageIOEncodersTest::unreadableSourcesWriteNothing_data()
{
    QTest::addColumn<QString>("encoder");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<CompressionPipelineError::Kind>("error");

    using E = CompressionPipelineError::Kind;
    for (const char *encoder : {"jpeg", "png"}) {
        QTest::addRow("%s, text", encoder) << encoder << "text" << E::imageDecodeFailed;
        QTest::addRow("%s, empty", encoder) << encoder << "empty" << E::readFailed;
        QTest::addRow("%s, missing", encoder) << encoder << "missing" << E::readFailed;
        QTest::addRow("%s, folder", encoder) << encoder << "folder" << E::readFailed;
    }
}

void ImageIOEncodersTest::unreadableSourcesWriteNothing()
{
    QFETCH(QString, encoder);
    QFETCH(QString, kind);
    QFETCH(CompressionPipelineError::Kind, error);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"bad.img"_s);
    if (kind == u"text")
        QVERIFY(writeFile(path, "no picture in here"));
    else if (kind == u"empty")
        QVERIFY(writeFile(path, {}));
    else if (kind == u"folder")
        QVERIFY(QDir(dir.path()).mkdir(u"bad.img"_s));
    const auto artifact = compressWith(encoder, path, dir.filePath(u"out"_s));
    QVERIFY(!artifact);
    QVERIFY(artifact.error().is(error));
    QVERIFY(!QFileInfo::exists(dir.filePath(u"out"_s)));
    QCOMPARE(entryNames(dir.path()), kind == u"missing" ? QStringList() : QStringList{u"bad.img"_s});
}

void ImageIOEncodersTest::missingFolderFailsToCreateTheDestination()
{
    const QString path = source(u"any.jpg"_s, encode(TestImages::photo(16, 16), "jpeg"));
    for (const QString &encoder : {u"jpeg"_s, u"png"_s}) {
        const auto artifact = compressWith(encoder, path, m_out.filePath(u"missing/out"_s));
        QVERIFY(!artifact);
        QVERIFY(artifact.error().is(CompressionPipelineError::Kind::destinationCreateFailed));
    }
    QVERIFY(!QFileInfo::exists(m_out.filePath(u"missing"_s)));
}

void ImageIOEncodersTest::unwritableFolderFailsToCreateTheDestination_data()
{
    QTest::addColumn<QString>("encoder");
    QTest::newRow("jpeg") << "jpeg";
    QTest::newRow("png") << "png";
}

void ImageIOEncodersTest::unwritableFolderFailsToCreateTheDestination()
{
    QFETCH(QString, encoder);

    // Root writes anywhere, so as root the attempt runs as nobody in a child process.
    QStringList prefix;
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (setpriv.isEmpty())
            QSKIP("running as root without setpriv: cannot make a folder unwritable");
        prefix = {setpriv, u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s};
    }
    QTemporaryDir dir;
    const QString readOnly = dir.filePath(u"read-only"_s);
    QVERIFY(QDir(dir.path()).mkdir(u"read-only"_s));
    const QString path = dir.filePath(u"photo.png"_s);
    QVERIFY(writeFile(path, encode(TestImages::photo(64, 48), "png")));
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                  | QFileDevice::ReadOther | QFileDevice::ExeOther));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    QVERIFY(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                               | QFileDevice::ExeOther));
    const QString out = QDir(readOnly).filePath(u"photo-1."_s + encoder);

    QString message;
    if (prefix.isEmpty()) {
        const auto artifact = compressWith(encoder, path, out);
        QVERIFY(!artifact);
        message = artifact.error().localizedDescription();
    } else {
        const ChildRun run = runChild(prefix, {encoder, path, out});
        if (!run.ran)
            QSKIP("cannot drop privileges here (setpriv refused)");
        message = run.output;
    }
    QCOMPARE(message, u"导出器创建失败"_s);
    QVERIFY(entryNames(readOnly).isEmpty());
}

void ImageIOEncodersTest::failedWriteLeavesNothing_data()
{
    QTest::addColumn<QString>("encoder");
    QTest::newRow("jpeg") << "jpeg";
    QTest::newRow("png") << "png";
}

void ImageIOEncodersTest::failedWriteLeavesNothing()
{
    QFETCH(QString, encoder);

    // A file-size limit stands in for a full disk: the write fails part way through.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"photo.png"_s);
    QVERIFY(writeFile(path, encode(TestImages::noise(256, 256), "png")));
    const ChildRun run = runChild({}, {encoder, path, dir.filePath(u"photo-1."_s + encoder), u"4096"_s});
    QVERIFY(run.ran);
    QCOMPARE(run.output, u"文件写入失败"_s);
    QCOMPARE(entryNames(dir.path()), QStringList{u"photo.png"_s});
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
