// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the fuzzer's seed corpus: one tiny file of every container and variant the codec
// reads (the samples of the hardening tests, small), so that the fuzzer starts from inputs that
// reach deep into each decoder instead of having to discover magic numbers on its own.
//
//   fuzz_seeds FOLDER
//
// The folder is created and emptied first. Exit status 0 when every seed was written.

#include "AVIFEncoder.h"
#include "InputVariety.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "WebPEncoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

using namespace pressel;

using namespace Qt::StringLiterals;

namespace {

// What one of libavif's or libwebp's tools writes to "out" from PNGs of the pictures (in-0.png,
// in-1.png, ...); empty when it fails.
QByteArray made(const QString &program, const QList<QImage> &pictures, const QStringList &arguments)
{
    QTemporaryDir scratch;
    for (qsizetype index = 0; index < pictures.size(); ++index)
        pictures[index].save(scratch.filePath(u"in-%1.png"_s.arg(index)), "PNG");
    const TestFiles::ProcessRun run = TestFiles::run(program, arguments, {scratch.path()});
    return run.finished && run.exitCode == 0 ? TestFiles::readFile(scratch.filePath(u"out"_s)) : QByteArray();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: fuzz_seeds FOLDER\n";
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if ((folder.exists() && !folder.removeRecursively()) || !folder.mkpath(u"."_s)) {
        err << "fuzz_seeds: cannot prepare " << folder.path() << '\n';
        return 1;
    }
    // Small enough that the fuzzer runs thousands of inputs a second, large enough for several
    // JPEG blocks, PNG rows and colours.
    QList<std::pair<QString, QByteArray>> seeds;
    for (const InputSample &sample : inputVariety(24, 16))
        seeds.append({sample.fileName, sample.bytes});
    const QImage photo = TestImages::photo(24, 16, 11);
    seeds += {{u"truncated.jpg"_s, TestImages::truncated(TestImages::jpeg(photo), 0.5)},
              {u"grey.tiff"_s, TestImages::encode(photo.convertToFormat(QImage::Format_Grayscale8), "tiff")},
              {u"alpha.tiff"_s, TestImages::encode(TestImages::transparentGraphic(24, 16), "tiff")},
              {u"lossless-alpha.webp"_s, TestImages::encode(TestImages::transparentGraphic(24, 16), "webp", 100)},
              {u"rgb.bmp"_s, TestImages::encode(photo, "bmp")},
              {u"indexed.bmp"_s, TestImages::encode(photo.convertToFormat(QImage::Format_Indexed8), "bmp")},
              {u"icon.ico"_s, TestImages::encode(TestImages::transparentGraphic(24, 16), "ico")}};
    // The phone and web containers, each variant its decoder treats apart: written by libheif,
    // libavif and libwebp (through our encoders or their tools) and ImageMagick.
    const QImage graphic = TestImages::transparentGraphic(24, 16);
    const QImage wide = TestImages::photo(128, 64, 5); // AVIF grid tiles are 64 pixels at least
    const QImage deep = photo.convertToFormat(QImage::Format_RGBX64);
    const QStringList out{u"-o"_s, u"out"_s};
    seeds += {
        {u"10-bit.heic"_s, TestImages::heif({deep}, {u"-b"_s, u"10"_s}).value_or(QByteArray())},
        {u"collection.heic"_s, TestImages::heif({photo, graphic}).value_or(QByteArray())},
        {u"alpha.avif"_s, encodeAVIF({graphic}, 60).value_or(QByteArray())},
        {u"grid.avif"_s, made(u"avifenc"_s, {wide}, QStringList{u"--grid"_s, u"2x1"_s, u"in-0.png"_s} + out)},
        {u"sequence.avif"_s, made(u"avifenc"_s, {photo, graphic.scaled(photo.size())},
                                  QStringList{u"in-0.png"_s, u"in-1.png"_s} + out)},
        {u"turned-mirrored.avif"_s,
         made(u"avifenc"_s, {photo},
              QStringList{u"--irot"_s, u"1"_s, u"--imir"_s, u"0"_s, u"-d"_s, u"10"_s, u"in-0.png"_s} + out)},
        {u"lossy.webp"_s, encodeWebP({photo}, 75, false).value_or(QByteArray())},
        {u"lossy-alpha.webp"_s, encodeWebP({graphic}, 75, false).value_or(QByteArray())},
        {u"animated.webp"_s, made(u"img2webp"_s, {photo, graphic}, QStringList{u"in-0.png"_s, u"in-1.png"_s} + out)},
        {u"cmyk.tiff"_s, TestImages::convert({photo}, {u"-colorspace"_s, u"CMYK"_s}, u"tiff"_s).value_or(QByteArray())},
        {u"cmyk-16.tiff"_s,
         TestImages::convert({photo}, {u"-colorspace"_s, u"CMYK"_s, u"-depth"_s, u"16"_s, u"-orient"_s, u"RightTop"_s},
                             u"tiff"_s)
             .value_or(QByteArray())},
        {u"rgb-16.tiff"_s, TestImages::convert({deep}, {u"-depth"_s, u"16"_s, u"-compress"_s, u"zip"_s}, u"tiff"_s)
                               .value_or(QByteArray())},
    };
    int failures = 0;
    for (const auto &[name, bytes] : seeds) {
        if (bytes.isEmpty() || !TestFiles::writeFile(folder.filePath(name), bytes)) {
            err << "fuzz_seeds: could not make " << name << '\n';
            ++failures;
        }
    }
    err << "fuzz_seeds: " << seeds.size() - failures << " seeds in " << folder.path() << '\n';
    return failures == 0 ? 0 : 1;
}
