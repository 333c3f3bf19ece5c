// What the fuzzer found, each kept as a case that makes its input afresh from a sound file. Run
// in the asan suite as well, where the sanitizers watch the decoders on these inputs.

#include "CompressionService.h"
#include "ImageFormatDetector.h"
#include "StandardCompressionService.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QTemporaryDir>
#include <QTest>

using namespace pressel;

Q_DECLARE_METATYPE(CompressionResultStatus)

namespace {

// The AVIF with the size of its item locations' base offsets (the high nibble after the
// offset and length sizes of the iloc box) set to 10, which no writer uses: libheif then
// hands dav1d data that it refuses.
QByteArray withBadBaseOffsetSize(const QByteArray &avif)
{
    const qsizetype type = avif.indexOf("iloc");
    if (type < 4 || type + 10 > avif.size())
        return {};
    QByteArray damaged = avif;
    damaged[type + 9] = char(0xA9);
    return damaged;
}

// The AVIF with the colour primaries of its nclx colour box set to 516, which no standard
// defines: libheif fails to describe the colours, yet hands over the description it began.
QByteArray withUnknownPrimaries(const QByteArray &avif)
{
    const qsizetype box = avif.indexOf("colrnclx");
    if (box < 0 || box + 10 > avif.size())
        return {};
    QByteArray damaged = avif;
    damaged[box + 8] = char(0x02);
    damaged[box + 9] = char(0x04);
    return damaged;
}

} // namespace

class tst_FuzzFindings : public QObject
{
    Q_OBJECT

private slots:
    void findingEndsAsItsRow_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<CompressionResultStatus>("status");
        QTest::addColumn<QString>("message");

        const QByteArray avif = TestImages::heif({TestImages::photo(24, 16, 11)}, {QStringLiteral("-A")}).value_or(QByteArray());
        if (avif.isEmpty())
            QSKIP("heif-enc with an AV1 encoder is not installed");
        // libheif's AV1 plugin leaks the data that dav1d refuses; the asan suite's leak check
        // knows that (cmake/sanitizers/lsan.supp). The row must say that nothing decoded.
        QTest::newRow("AVIF with an impossible base offset size")
            << withBadBaseOffsetSize(avif) << QStringLiteral("photo.avif") << CompressionResultStatus::failed
            << QStringLiteral("无法解码图片内容");
        // The colour description leaked until the decoder took it over on failure too; the
        // picture decodes without it.
        QTest::newRow("AVIF with unknown nclx primaries")
            << withUnknownPrimaries(avif) << QStringLiteral("photo.avif") << CompressionResultStatus::skipped
            << QStringLiteral("当前阶段暂不处理该格式：avif");
    }

    // Detection fails with the row's message when the row failed, and succeeds otherwise; the
    // whole service gives the row; the folder holds nothing but the source, unchanged.
    void findingEndsAsItsRow()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fileName);
        QFETCH(CompressionResultStatus, status);
        QFETCH(QString, message);
        QVERIFY(!bytes.isEmpty());
        QTemporaryDir folder;
        const QString path = folder.filePath(fileName);
        QVERIFY(TestFiles::writeFile(path, bytes));
        const QUrl url = QUrl::fromLocalFile(path);

        const auto profile = ImageFormatDetector().detect(url);
        if (status == CompressionResultStatus::failed) {
            QVERIFY(!profile);
            QCOMPARE(profile.error().localizedDescription(), message);
        } else {
            QVERIFY(profile);
        }

        const auto service = makeStandardCompressionService(TestFiles::buildBundle());
        const CompressionResult row = service->compressFile(url);
        QCOMPARE(row.status, status);
        QCOMPARE(row.message, std::optional<QString>(message));
        QCOMPARE(TestFiles::entryNames(folder.path()), QStringList{fileName});
        QCOMPARE(TestFiles::readFile(path), bytes);
    }
};

QTEST_GUILESS_MAIN(tst_FuzzFindings)
#include "tst_fuzzfindings.moc"
