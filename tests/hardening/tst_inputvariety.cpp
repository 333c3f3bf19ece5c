// SPDX-License-Identifier: GPL-3.0-or-later
// Every kind of JPEG and PNG that cameras, phones, scanners and design tools write, and damaged
// copies of each, through the real pipeline on both roads: the build tree's mozjpeg cjpeg and
// pngquant, and the in-process encoders of a bundle without tools. A valid picture ends as its
// row says, and its output shows the same picture the same way up as a colour-managed viewer
// shows the source; a damaged one fails with a read or decode message or gives an output that
// decodes. After every row the source is byte-identical, the folder holds only the source and
// the row's output, and the private temporary folder is empty.

#include "HardeningSupport.h"
#include "InputVariety.h"

#include <QColorSpace>
#include <QTest>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;
using namespace TestImages;

namespace {

// Lossy outputs are compared by the mean colours of cells of this size.
constexpr int lossyCell = 8;

} // namespace

class InputVarietyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void validInputsKeepTheirPicture_data();
    void validInputsKeepTheirPicture();
    void damagedInputsFailCleanlyOrDecode_data();
    void damagedInputsFailCleanlyOrDecode();

private:
    // The source alone in a folder through the pipeline; fails the test when anything but the
    // row's output was left or changed.
    CompressionResult compressAlone(Road road, const QString &fileName, const QByteArray &bytes);

    Sandbox m_sandbox;
    QList<InputSample> m_samples;
};

void InputVarietyTest::initTestCase()
{
    QVERIFY(m_sandbox.isValid());
    QVERIFY2(missingTools().isEmpty(), qPrintable(u"the build tree's bundle lacks: "_s + missingTools()));
    m_samples = inputVariety(96, 64);
    // A sample's colour information matters: ignored, it shows other colours.
    for (const InputSample &sample : std::as_const(m_samples)) {
        QImage unmanaged = QImage::fromData(sample.bytes);
        unmanaged.setColorSpace(QColorSpace());
        QVERIFY2(!sample.colourManaged || meanColourError(unmanaged, sample.intended, lossyCell) > 3 * sample.tolerance,
                 qPrintable(sample.fileName));
    }
}

CompressionResult InputVarietyTest::compressAlone(Road road, const QString &fileName, const QByteArray &bytes)
{
    const QString folder = m_sandbox.newFolder(u"row"_s);
    const QString source = folder + u'/' + fileName;
    [&] { QVERIFY(writeFile(source, bytes)); }();
    const FolderRecord before(folder);
    const QList<CompressionResult> results = compress(road, {QUrl::fromLocalFile(source)});
    [&] {
        QCOMPARE(results.size(), 1);
        const QString changes = before.changesBeyond(outputNames(results));
        QVERIFY2(changes.isEmpty(), qPrintable(describe(results.first()) + u" | "_s + changes));
        QVERIFY2(m_sandbox.leftovers().isEmpty(), qPrintable(u"temporary folder: "_s + m_sandbox.leftovers()));
    }();
    return results.value(0);
}

void InputVarietyTest::validInputsKeepTheirPicture_data()
{
    QTest::addColumn<Road>("road");
    QTest::addColumn<int>("sample");
    for (const Road road : {Road::tools, Road::fallback}) {
        for (qsizetype index = 0; index < m_samples.size(); ++index)
            QTest::addRow("%s: %s", roadName(road), qPrintable(m_samples[index].fileName)) << road << int(index);
    }
}

void InputVarietyTest::validInputsKeepTheirPicture()
{
    QFETCH(Road, road);
    QFETCH(int, sample);
    const InputSample &input = m_samples[sample];

    const CompressionResult result = compressAlone(road, input.fileName, input.bytes);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(result.status == input.status, qPrintable(describe(result)));
    if (input.status != CompressionResultStatus::success) {
        QCOMPARE(result.failure ? result.failure->reasonName() : QString(), input.message);
        return;
    }
    QImage decoded;
    const QString problem = checkOutput(result.outputURL->toLocalFile(), input.format, &decoded);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const QImage reference = input.viewerCannotManage ? input.intended : viewed(input.bytes);
    QCOMPARE(decoded.size(), reference.size());
    // The in-process PNG encoder is lossless: compared pixel by pixel.
    const bool lossless = road == Road::fallback && input.format == "png";
    const double difference = meanColourError(decoded, reference, lossless ? 1 : lossyCell);
    QVERIFY2(difference <= (lossless ? 1.0 : input.tolerance), qPrintable(u"mean difference %1"_s.arg(difference)));
}

void InputVarietyTest::damagedInputsFailCleanlyOrDecode_data()
{
    QTest::addColumn<Road>("road");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("mustFail");

    QList<std::tuple<QString, QByteArray, QByteArray, bool>> inputs;
    for (const InputSample &sample : std::as_const(m_samples)) {
        const QString name = sample.fileName.section(u'.', 0, -2);
        const QString extension = sample.fileName.section(u'.', -1);
        inputs.append({name + u"-cut-third."_s + extension, truncated(sample.bytes, 1.0 / 3), sample.format, false});
        inputs.append({name + u"-cut-two-thirds."_s + extension, truncated(sample.bytes, 2.0 / 3), sample.format, false});
        inputs.append({name + u"-bit-flips."_s + extension, bitFlipped(sample.bytes, 16, 1234), sample.format, false});
    }
    for (const char *extension : {"jpg", "png", "heic", "tif"})
        inputs.append({u"empty."_s + QLatin1String(extension), QByteArray(), QByteArray(extension), true});
    // Headers that claim billions of pixels: refused from the header, fast and small.
    const QImage small = scene(32, 32);
    inputs.append({u"huge.png"_s, pngBomb(100000, 100000, true), "png", true});
    inputs.append({u"huge.jpg"_s, withFrame(jpeg(small), 0xC0, 8, {65500, 65500}), "jpeg", true});
    // Within the largest size, but far more pixels than a few hundred bytes can hold.
    inputs.append({u"claims-16000.jpg"_s, withFrame(jpeg(small), 0xC0, 8, {16000, 16000}), "jpeg", true});
    for (const InputSample &sample : std::as_const(m_samples)) {
        if (sample.format == "heic") {
            inputs.append({u"huge.heic"_s, withClaimedHEIFSize(sample.bytes, 100000, 100000), "heic", true});
            break;
        }
    }
    // What the fuzzer found: an AVIF whose item locations have a base offset size no writer uses,
    // and one whose colour primaries no standard defines.
    if (const auto avif = heif({small}, {u"-A"_s})) {
        QByteArray badOffsetSize = *avif, unknownPrimaries = *avif;
        badOffsetSize[avif->indexOf("iloc") + 9] = char(0xA9);
        unknownPrimaries.replace(avif->indexOf("colrnclx") + 8, 2, QByteArray("\x02\x04", 2));
        inputs.append({u"bad-base-offset-size.avif"_s, badOffsetSize, "avif", true});
        inputs.append({u"unknown-primaries.avif"_s, unknownPrimaries, "avif", false});
    }
    for (const Road road : {Road::tools, Road::fallback}) {
        for (const auto &[name, bytes, format, mustFail] : inputs)
            QTest::addRow("%s: %s", roadName(road), qPrintable(name)) << road << name << bytes << format << mustFail;
    }
}

void InputVarietyTest::damagedInputsFailCleanlyOrDecode()
{
    QFETCH(Road, road);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, format);
    QFETCH(bool, mustFail);

    const CompressionResult result = compressAlone(road, fileName, bytes);
    if (QTest::currentTestFailed())
        return;
    const QString message = result.failure ? result.failure->reasonName() : QString();
    const QStringList acceptable = result.status == CompressionResultStatus::failed
                                       ? QStringList{u"readFailed"_s, u"imageDecodeFailed"_s, u"imageDamaged"_s,
                                                     u"emptyFile"_s}
                                       : QStringList{u"notSmaller"_s, u"heifUnsupported"_s, u"tiffUnsupported"_s,
                                                     u"unsupportedFormat"_s};
    // Refused from its header, or failed: never an output.
    QVERIFY2(!mustFail || result.status != CompressionResultStatus::success, qPrintable(describe(result)));
    if (result.status == CompressionResultStatus::success)
        QVERIFY2(checkOutput(result.outputURL->toLocalFile(), format).isEmpty(), qPrintable(describe(result)));
    else
        QVERIFY2(acceptable.contains(message), qPrintable(describe(result)));
}

QTEST_GUILESS_MAIN(InputVarietyTest)
#include "tst_inputvariety.moc"
