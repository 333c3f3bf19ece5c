// Content types and format detection: the content decides, the filename extension only when
// the content gives no known type; failures say which of the first two steps refused the file.

#include "ImageFormatDetector.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;
using namespace TestImages;

Q_DECLARE_METATYPE(ImageFormat::Kind)
Q_DECLARE_METATYPE(CompressionPipelineError::Kind)

class FormatDetectionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_heic = heif({TestImages::photo(64, 48)});
        m_heicWithAlpha = heif({TestImages::transparentGraphic(64, 48)});
    }

    void detect_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("name");
        QTest::addColumn<ImageFormat::Kind>("kind");
        QTest::addColumn<QString>("extension"); // the format's fileExtension
        QTest::addColumn<QSizeF>("pixelSize");
        QTest::addColumn<bool>("hasAlpha");

        using K = ImageFormat::Kind;
        const QSizeF size(64, 48);
        QTest::newRow("photo.jpg") << "jpeg"
                                   << "photo.jpg" << K::jpeg << "jpg" << size << false;
        QTest::newRow("photo.JPEG") << "jpeg"
                                    << "photo.JPEG" << K::jpeg << "jpeg" << size << false;
        QTest::newRow("photo.jpe") << "jpeg"
                                   << "photo.jpe" << K::jpeg << "jpg" << size << false;
        QTest::newRow("jpeg named .png") << "jpeg"
                                         << "photo.png" << K::jpeg << "jpg" << size << false;
        QTest::newRow("png") << "png"
                             << "image.png" << K::png << "png" << size << false;
        QTest::newRow("png named .jpg") << "png"
                                        << "p.jpg" << K::png << "png" << size << false;
        QTest::newRow("png with transparency") << "transparent png"
                                               << "t.png" << K::png << "png" << size << true;
        QTest::newRow("gif") << "gif"
                             << "anim.gif" << K::unknown << "gif" << size << false;
        QTest::newRow("gif named .jpg") << "gif"
                                        << "anim.jpg" << K::unknown << "jpg" << size << false;
        QTest::newRow("tiff") << "tiff"
                              << "scan.tif" << K::tiff << "tiff" << size << false;
        QTest::newRow("webp") << "webp"
                              << "web.webp" << K::unknown << "webp" << size << false;
        QTest::newRow("heic") << "heic"
                              << "phone.heic" << K::heic << "heic" << size << false;
        QTest::newRow("heic named .jpg") << "heic"
                                         << "phone.jpg" << K::heic << "heic" << size << false;
        QTest::newRow("heic with alpha") << "heic with alpha"
                                         << "icon.heic" << K::heic << "heic" << size << true;
        QTest::newRow("heif by its brand") << "heif"
                                           << "camera.heic" << K::heif << "heif" << size << false;
        QTest::newRow("avif by its brand") << "avif-branded"
                                           << "new.avif" << K::unknown << "avif" << size << false;
        QTest::newRow("upright size of an oriented jpeg")
            << "oriented jpeg"
            << "portrait.jpg" << K::jpeg << "jpg" << size.transposed() << false;
    }

    void detect()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, name);
        QFETCH(ImageFormat::Kind, kind);
        QFETCH(QString, extension);
        QFETCH(QSizeF, pixelSize);
        QFETCH(bool, hasAlpha);

        const QString path = QDir(m_dir.path()).filePath(name);
        if (!makeFixture(fixture, path))
            QSKIP("cannot make this fixture here (heif-enc with an HEVC encoder is needed)");
        const QUrl url = QUrl::fromLocalFile(path);
        const auto profile = ImageFormatDetector().detect(url);
        QVERIFY2(profile, qPrintable(profile ? QString() : profile.error().localizedDescription()));
        QCOMPARE(profile->format.kind(), kind);
        QCOMPARE(profile->format.fileExtension(), extension);
        QCOMPARE(profile->sourceURL, url);
        QCOMPARE(profile->fileSize, QFileInfo(path).size());
        QCOMPARE(profile->pixelSize, pixelSize);
        QCOMPARE(profile->hasAlpha, hasAlpha);
        QFile::remove(path);
    }

    void detectRefuses_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<CompressionPipelineError::Kind>("error");

        using E = CompressionPipelineError::Kind;
        QTest::newRow("text named .gif") << "text" << E::imageDecodeFailed;
        QTest::newRow("truncated png") << "truncated png" << E::imageDecodeFailed;
        QTest::newRow("mp4 container") << "mp4" << E::imageDecodeFailed;
        QTest::newRow("empty file") << "empty" << E::readFailed;
        QTest::newRow("missing file") << "missing" << E::readFailed;
        QTest::newRow("folder named .jpg") << "folder" << E::readFailed;
        // Reading a FIFO or a device blocks or never ends; a hang here fails by the test timeout.
        QTest::newRow("fifo named .jpg") << "fifo" << E::readFailed;
        QTest::newRow("character device") << "/dev/zero" << E::readFailed;
        QTest::newRow("not a local file") << "https://example.com/a.jpg" << E::readFailed;
    }

    void detectRefuses()
    {
        QFETCH(QString, fixture);
        QFETCH(CompressionPipelineError::Kind, error);

        QString path = QDir(m_dir.path()).filePath(u"refused.jpg"_s);
        if (fixture == u"text") {
            QVERIFY(writeFile(path, "GIF is a word, this is text\n"));
        } else if (fixture == u"truncated png") {
            QVERIFY(writeFile(path, encode(TestImages::photo(64, 48), "png").left(100)));
        } else if (fixture == u"mp4") {
            QVERIFY(writeFile(path, QByteArray("\0\0\0\x18"
                                               "ftypisom\0\0\0\0isommp41",
                                               24) +
                                        QByteArray(64, 'x')));
        } else if (fixture == u"empty") {
            QVERIFY(writeFile(path, {}));
        } else if (fixture == u"folder") {
            QVERIFY(QDir(m_dir.path()).mkdir(u"refused.jpg"_s));
        } else if (fixture == u"fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (fixture.startsWith(u'/')) {
            path = fixture;
        }
        const QUrl url = fixture.startsWith(u"https:") ? QUrl(fixture) : QUrl::fromLocalFile(path);
        const auto profile = ImageFormatDetector().detect(url);
        QVERIFY(!profile);
        QVERIFY(profile.error().pipelineError());
        QCOMPARE(profile.error().pipelineError()->kind(), error);
        if (!fixture.startsWith(u'/') && !fixture.startsWith(u"https:"))
            QVERIFY(QDir(path).exists() ? QDir().rmdir(path) : QFile::remove(path) || fixture == u"missing");
    }

private:
    // Writes the named fixture to `path`; false when it cannot be made here (no HEVC encoder).
    bool makeFixture(const QString &fixture, const QString &path);

    QTemporaryDir m_dir;
    std::optional<QByteArray> m_heic;
    std::optional<QByteArray> m_heicWithAlpha;
};

bool FormatDetectionTest::makeFixture(const QString &fixture, const QString &path)
{
    const QImage photo = TestImages::photo(64, 48);
    QByteArray bytes;
    if (fixture == u"jpeg")
        bytes = encode(photo, "jpeg", 90);
    else if (fixture == u"png")
        bytes = encode(photo, "png");
    else if (fixture == u"transparent png")
        bytes = encode(TestImages::transparentGraphic(64, 48), "png");
    else if (fixture == u"gif")
        bytes = gif(photo);
    else if (fixture == u"tiff" || fixture == u"webp" || fixture == u"bmp")
        bytes = encode(photo, fixture.toLatin1().constData());
    else if (fixture == u"heic" && m_heic)
        bytes = *m_heic;
    else if (fixture == u"heic with alpha" && m_heicWithAlpha)
        bytes = *m_heicWithAlpha;
    else if (fixture == u"heif" && m_heic)
        bytes = replaceBrand(*m_heic, "heic", "mif1");
    else if (fixture == u"avif-branded" && m_heic)
        bytes = replaceBrand(*m_heic, "heic", "avif");
    else if (fixture == u"oriented jpeg")
        bytes = insertJPEGSegment(encode(photo, "jpeg", 90), 0xE1, exifPayload(6));
    if (bytes.isEmpty())
        return false;
    return writeFile(path, bytes);
}

QTEST_GUILESS_MAIN(FormatDetectionTest)
#include "tst_formatdetection.moc"
