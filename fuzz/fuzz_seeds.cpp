// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the fuzzer's seed corpus: one tiny file of every container and variant the codec
// reads (the samples of the hardening tests, small), so that the fuzzer starts from inputs that
// reach deep into each decoder instead of having to discover magic numbers on its own.
//
//   fuzz_seeds FOLDER
//
// The folder is created and emptied first. Exit status 0 when every seed was written.

#include "InputVariety.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

using namespace pressel;

using namespace Qt::StringLiterals;

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
