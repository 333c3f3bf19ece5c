// SPDX-License-Identifier: GPL-3.0-or-later
// What WebP and AVIF cost against mozjpeg at quality 75, photo by photo: bytes, Butteraugli
// distance of the decoded output to the decoded source (libjxl's, the largest distance and the
// 3-norm) and encode time on one core. For each encoder it looks for the quality whose median
// distance over the photos equals mozjpeg's (a secant search over whole qualities from two guesses;
// distances are deterministic, so one run per quality), then times that quality --runs times. With --variants
// it also compares WebP's settings and libheif's AVIF encoder at the chosen quality. Last it
// times HEIC to JPEG (decode, PPM, cjpeg) against the JPEG road on the same photos.
//
//   pressel-bench-quality [--runs N] [--only SUBSTRING] [--formats webp,avif,heic] [--webp-start A,B]
//                         [--avif-start A,B] [--avif-speed S] [--variants] [CORPUS_FOLDER]
//
// Photos are CORPUS/jpg/*.jpg, the HEIC copies CORPUS/formats/*.heic. Times are CPU time of this
// process (cjpeg: of the child process), the steadier figure on a shared machine; wall time
// beside it.

#include "AVIFEncoder.h"
#include "BenchSupport.h"
#include "ButteraugliDistance.h"
#include "CorpusFiles.h"
#include "ImageCodec.h"
#include "JPEGEncoder.h"
#include "PPMPreprocessing.h"
#include "WebPEncoder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>

#include <libheif/heif.h>

#include <cmath>
#include <cstdio>
#include <functional>

#include <sys/resource.h>

using namespace pressel;
using BenchSupport::median;

namespace {

struct Timing {
    double cpu = 0;  // ms
    double wall = 0; // ms
};

// This process's CPU time, every thread's: the decoders' own helpers count too. Butteraugli's
// threads sleep while anything is timed.
double processCPUMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double childrenCPUMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// One encode: its bytes and what it took.
struct Encoded {
    QByteArray bytes;
    Timing time;
};

using EncodeFunction = std::function<std::optional<Encoded>(const DecodedImage &)>;

EncodeFunction inProcess(std::function<std::optional<QByteArray>(const DecodedImage &)> encode)
{
    return [encode](const DecodedImage &image) -> std::optional<Encoded> {
        QElapsedTimer wall;
        wall.start();
        const double cpu = processCPUMilliseconds();
        auto bytes = encode(image);
        const Timing time{processCPUMilliseconds() - cpu, double(wall.nsecsElapsed()) / 1e6};
        return bytes ? std::optional(Encoded{std::move(*bytes), time}) : std::nullopt;
    };
}

// The bundled cjpeg with the JPEG road's arguments, the PPM on its standard input; the PPM is
// made before the clock starts, as the road makes it before it starts the tool.
std::optional<Encoded> cjpeg(const QByteArray &ppm)
{
    QProcess process;
    QElapsedTimer wall;
    wall.start();
    const double cpu = childrenCPUMilliseconds();
    process.start(QStringLiteral(PRESSEL_BENCH_CJPEG), cjpegArguments(75));
    process.write(ppm);
    process.closeWriteChannel();
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    const Timing time{childrenCPUMilliseconds() - cpu, double(wall.nsecsElapsed()) / 1e6};
    return Encoded{process.readAllStandardOutput(), time};
}

EncodeFunction mozjpeg()
{
    return [](const DecodedImage &image) -> std::optional<Encoded> {
        const auto ppm = makePPMData(image);
        return ppm ? cjpeg(*ppm) : std::nullopt;
    };
}

// libheif's AVIF encoder (aom through libheif's plugin), for the comparison with libavif.
std::optional<QByteArray> encodeAVIFWithLibheif(const DecodedImage &image, int quality)
{
    const QImage rgb = image.image.convertToFormat(QImage::Format_RGB888);
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_image *picture = nullptr;
    std::optional<QByteArray> result;
    if (heif_context_get_encoder_for_format(context, heif_compression_AV1, &encoder).code == heif_error_Ok &&
        heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &picture).code ==
            heif_error_Ok &&
        heif_image_add_plane(picture, heif_channel_interleaved, rgb.width(), rgb.height(), 8).code == heif_error_Ok) {
        int stride = 0;
        uint8_t *plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
        for (int y = 0; y < rgb.height(); ++y)
            memcpy(plane + qsizetype(y) * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
        heif_encoder_set_lossy_quality(encoder, quality);
        heif_encoder_set_parameter(encoder, "speed", "6");
        heif_encoder_set_parameter(encoder, "threads", "1");
        heif_encoder_set_parameter(encoder, "chroma", "420");
        if (heif_context_encode_image(context, picture, encoder, nullptr, nullptr).code == heif_error_Ok) {
            QByteArray bytes;
            heif_writer writer{1, [](heif_context *, const void *data, size_t size, void *bytes) {
                                   static_cast<QByteArray *>(bytes)->append(static_cast<const char *>(data),
                                                                            qsizetype(size));
                                   return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                               }};
            if (heif_context_write(context, &writer, &bytes).code == heif_error_Ok)
                result = bytes;
        }
    }
    if (picture)
        heif_image_release(picture);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(context);
    return result;
}

using Distance = ButteraugliDistance::Distance;

struct Photo {
    QString name;
    DecodedImage image;
    QImage rgb; // what Butteraugli compares against
};

std::optional<DecodedImage> decode(const QByteArray &bytes)
{
    const auto source = ImageSource::fromBytes(bytes);
    return source ? source->createImageAtIndex0() : std::nullopt;
}

// Every photo's result for one encoder at one setting.
struct Pass {
    QList<qint64> bytes;
    QList<Distance> distances;
    QList<Timing> times;

    double medianDistance() const
    {
        QList<double> values;
        for (const Distance &distance : distances)
            values.append(distance.max);
        return median(values);
    }
    double medianPNorm() const
    {
        QList<double> values;
        for (const Distance &distance : distances)
            values.append(distance.pnorm3);
        return median(values);
    }
};

class Bench
{
public:
    Bench(QList<Photo> photos, int runs)
        : m_photos(std::move(photos))
        , m_runs(runs)
    {}

    // One encode of every photo, measured; nullopt when an encode or its decode failed.
    std::optional<Pass> pass(const QString &label, const EncodeFunction &encoder) const
    {
        Pass result;
        for (const Photo &photo : m_photos) {
            const auto encoded = encoder(photo.image);
            const auto distance = encoded ? m_butteraugli.compareEncoded(photo.rgb, encoded->bytes) : std::nullopt;
            if (!distance) {
                std::fprintf(stderr, "%s: %s failed\n", qPrintable(label), qPrintable(photo.name));
                return std::nullopt;
            }
            result.bytes.append(encoded->bytes.size());
            result.distances.append(*distance);
            result.times.append(encoded->time);
        }
        std::printf("  %-34s median distance %.3f (3-norm %.3f), %.0f KiB in all\n", qPrintable(label),
                    result.medianDistance(), result.medianPNorm(), total(result.bytes) / 1024.0);
        std::fflush(stdout);
        return result;
    }

    // Times of every photo, the median of --runs encodes each.
    QList<Timing> times(const EncodeFunction &encoder) const
    {
        QList<Timing> result;
        for (const Photo &photo : m_photos) {
            QList<double> cpu, wall;
            for (int run = 0; run < m_runs; ++run) {
                if (const auto encoded = encoder(photo.image)) {
                    cpu.append(encoded->time.cpu);
                    wall.append(encoded->time.wall);
                }
            }
            result.append(cpu.isEmpty() ? Timing{} : Timing{median(cpu), median(wall)});
        }
        return result;
    }

    // The lowest whole quality whose median distance is at most `target`: from two guesses, a
    // secant step until the target is bracketed, then secant steps kept inside the bracket until
    // it is one quality wide. Every pass made is kept in `passes`.
    int matchQuality(const QString &name, const std::function<EncodeFunction(int)> &encoderAt, double target, int first,
                     int second, QMap<int, Pass> &passes) const
    {
        const auto measure = [&](int quality) {
            if (!passes.contains(quality))
                if (auto result = pass(QStringLiteral("%1 q%2").arg(name).arg(quality), encoderAt(quality)))
                    passes.insert(quality, *result);
            return passes.contains(quality) ? passes[quality].medianDistance() : qQNaN();
        };
        const auto secant = [&](int a, int b) {
            const double da = passes[a].medianDistance(), db = passes[b].medianDistance();
            return da == db ? (a + b) / 2 : int(std::lround(a + (target - da) * (b - a) / (db - da)));
        };
        if (qIsNaN(measure(first)) || qIsNaN(measure(second)))
            return -1;
        // above: the highest quality known to miss the target; below: the lowest known to meet it.
        int above = -1, below = 101;
        const auto place = [&](int quality) {
            if (passes[quality].medianDistance() > target)
                above = std::max(above, quality);
            else
                below = std::min(below, quality);
        };
        place(first), place(second);
        for (int step = 0; step < 8; ++step) {
            int next;
            if (above < 0)
                next = std::clamp(secant(first, second), 0, below - 1);
            else if (below > 100)
                next = std::clamp(secant(first, second), above + 1, 100);
            else if (below - above <= 1)
                break;
            else
                next = std::clamp(secant(above, below), above + 1, below - 1);
            if (passes.contains(next) || qIsNaN(measure(next)))
                break;
            place(next);
            first = second, second = next;
        }
        return below <= 100 ? below : -1;
    }

    static qint64 total(const QList<qint64> &bytes)
    {
        qint64 sum = 0;
        for (qint64 count : bytes)
            sum += count;
        return sum;
    }

    const QList<Photo> &photos() const { return m_photos; }

private:
    QList<Photo> m_photos;
    int m_runs;
    // Two threads for the measure only; every encode runs on one.
    ButteraugliDistance m_butteraugli{2};
};

double medianRatio(const QList<qint64> &values, const QList<qint64> &reference)
{
    QList<double> ratios;
    for (qsizetype i = 0; i < values.size(); ++i)
        ratios.append(double(values[i]) / double(reference[i]));
    return median(ratios);
}

double medianTimeRatio(const QList<Timing> &values, const QList<Timing> &reference, bool wall = false)
{
    QList<double> ratios;
    for (qsizetype i = 0; i < values.size(); ++i)
        ratios.append(wall ? values[i].wall / reference[i].wall : values[i].cpu / reference[i].cpu);
    return median(ratios);
}

double medianBytes(const QList<qint64> &bytes)
{
    QList<double> values;
    for (qint64 count : bytes)
        values.append(double(count));
    return median(values);
}

void printPhotos(const Bench &bench, const QList<std::pair<QString, const Pass *>> &columns,
                 const QList<std::pair<QString, QList<Timing>>> &timings)
{
    std::printf("\n%-36s %6s", "photo", "MP");
    for (const auto &[label, pass] : columns)
        std::printf(" | %-24s", qPrintable(label + QStringLiteral(" KiB/dist")));
    for (const auto &[label, times] : timings)
        std::printf(" | %-12s", qPrintable(label + QStringLiteral(" ms")));
    std::printf("\n");
    for (qsizetype i = 0; i < bench.photos().size(); ++i) {
        const Photo &photo = bench.photos()[i];
        std::printf("%-36s %6.1f", qPrintable(photo.name.left(36)), photo.image.width() * photo.image.height() / 1e6);
        for (const auto &[label, pass] : columns)
            std::printf(" | %8.0f %6.2f %7.3f", pass->bytes[i] / 1024.0, pass->distances[i].max,
                        pass->distances[i].pnorm3);
        for (const auto &[label, times] : timings)
            std::printf(" | %12.0f", times[i].cpu);
        std::printf("\n");
    }
}

// HEIC to JPEG against the JPEG road on the same photo: read, decode, PPM and cjpeg, wall and
// CPU time of both this thread and cjpeg.
struct RoadTime {
    Timing total;
    double decodeCPU = 0; // decode and PPM
};

RoadTime roadTime(const QByteArray &source)
{
    QElapsedTimer wall;
    wall.start();
    const double cpu = processCPUMilliseconds();
    const auto image = decode(source);
    const auto ppm = image ? makePPMData(*image) : std::nullopt;
    const double decodeCPU = processCPUMilliseconds() - cpu;
    const auto encoded = ppm ? cjpeg(*ppm) : std::nullopt;
    if (!encoded)
        return {};
    return {{decodeCPU + encoded->time.cpu, double(wall.nsecsElapsed()) / 1e6}, decodeCPU};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    qInstallMessageHandler(BenchSupport::quietPipelineLog);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Timed runs per photo (median)."), QStringLiteral("N"),
                      QStringLiteral("3")});
    parser.addOption(
        {QStringLiteral("only"), QStringLiteral("Only photos whose name contains this."), QStringLiteral("SUBSTRING")});
    parser.addOption({QStringLiteral("formats"), QStringLiteral("What to measure: webp, avif, heic (to JPEG)."),
                      QStringLiteral("LIST"), QStringLiteral("webp,avif,heic")});
    parser.addOption({QStringLiteral("webp-start"), QStringLiteral("WebP's two first guesses."), QStringLiteral("A,B"),
                      QStringLiteral("75,90")});
    parser.addOption({QStringLiteral("avif-speed"), QStringLiteral("libaom's effort for AVIF, 0 to 10."),
                      QStringLiteral("S"), QString::number(AVIFSettings{}.speed)});
    parser.addOption({QStringLiteral("avif-start"), QStringLiteral("AVIF's two first guesses."), QStringLiteral("A,B"),
                      QStringLiteral("55,70")});
    parser.addOption(
        {QStringLiteral("variants"), QStringLiteral("Also compare other settings at the chosen qualities.")});
    parser.addPositionalArgument(QStringLiteral("corpus"), QStringLiteral("The corpus folder (jpg/, formats/)."));
    parser.process(application);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const QDir corpus(parser.positionalArguments().value(0, QStringLiteral("/tmp/pressel-corpus/corpus")));

    QList<Photo> photos;
    for (const QFileInfo &file :
         BenchSupport::corpusFiles(corpus.filePath(QStringLiteral("jpg")), {QStringLiteral("*.jpg")})) {
        if (!file.fileName().contains(parser.value(QStringLiteral("only"))))
            continue;
        QFile input(file.filePath());
        auto image = input.open(QIODevice::ReadOnly) ? decode(input.readAll()) : std::nullopt;
        if (!image) {
            std::fprintf(stderr, "cannot decode %s\n", qPrintable(file.filePath()));
            return 1;
        }
        const QImage rgb = ButteraugliDistance::measurable(image->image);
        photos.append({file.completeBaseName(), std::move(*image), rgb});
    }
    if (photos.isEmpty()) {
        std::fprintf(stderr, "no photos in %s/jpg (bash make-corpus.sh builds the corpus)\n",
                     qPrintable(corpus.path()));
        return 1;
    }
    std::printf("%lld photos, %d timed runs each; times are CPU ms on one core\n", qlonglong(photos.size()), runs);
    const Bench bench(photos, runs);
    const auto guess = [&](const QString &option, int index) {
        return std::clamp(parser.value(option).split(u',').value(index).toInt(), 0, 100);
    };

    // HEIC to JPEG against the JPEG road; alone, it needs no reference pass.
    const auto heicRoad = [&] {
        std::printf("\nHEIC to JPEG against the JPEG road on the same photo (%d runs, median; decode + PPM + cjpeg)\n",
                    runs);
        QList<double> ratios;
        for (const QFileInfo &heic :
             BenchSupport::corpusFiles(corpus.filePath(QStringLiteral("formats")), {QStringLiteral("*.heic")})) {
            QFile heicFile(heic.filePath()),
                jpegFile(corpus.filePath(QStringLiteral("jpg/%1.jpg").arg(heic.completeBaseName())));
            if (!heicFile.open(QIODevice::ReadOnly) || !jpegFile.open(QIODevice::ReadOnly))
                continue;
            const QByteArray heicBytes = heicFile.readAll(), jpegBytes = jpegFile.readAll();
            QList<double> heicCPU, jpegCPU, heicWall, jpegWall, heicDecode, jpegDecode;
            for (int run = 0; run < runs; ++run) {
                const RoadTime fromHEIC = roadTime(heicBytes), fromJPEG = roadTime(jpegBytes);
                heicCPU.append(fromHEIC.total.cpu), heicWall.append(fromHEIC.total.wall);
                jpegCPU.append(fromJPEG.total.cpu), jpegWall.append(fromJPEG.total.wall);
                heicDecode.append(fromHEIC.decodeCPU), jpegDecode.append(fromJPEG.decodeCPU);
            }
            ratios.append(median(heicCPU) / median(jpegCPU));
            std::printf("  %-30s HEIC %6.0f ms (decode %5.0f, wall %6.0f)  JPEG %6.0f ms (decode %5.0f, wall %6.0f)  "
                        "ratio %.2f\n",
                        qPrintable(heic.completeBaseName()), median(heicCPU), median(heicDecode), median(heicWall),
                        median(jpegCPU), median(jpegDecode), median(jpegWall), ratios.last());
        }
        if (!ratios.isEmpty())
            std::printf("  median ratio %.2f\n", median(ratios));
        return 0;
    };
    const QStringList wanted = parser.value(QStringLiteral("formats")).split(u',');
    if (wanted == QStringList{QStringLiteral("heic")})
        return heicRoad();

    std::printf("\nmozjpeg q75 (cjpeg -quality 75 -optimize -progressive)\n");
    const auto reference = bench.pass(QStringLiteral("mozjpeg q75"), mozjpeg());
    if (!reference)
        return 1;
    const double target = reference->medianDistance();

    const auto webpAt = [](const WebPSettings &base) -> std::function<EncodeFunction(int)> {
        return [base](int quality) {
            WebPSettings settings = base;
            settings.quality = quality;
            return inProcess([settings](const DecodedImage &image) { return encodeWebP(image, settings); });
        };
    };
    const auto avifAt = [](const AVIFSettings &base) -> std::function<EncodeFunction(int)> {
        return [base](int quality) {
            AVIFSettings settings = base;
            settings.quality = quality;
            return inProcess([settings](const DecodedImage &image) { return encodeAVIF(image, settings); });
        };
    };
    // Each variant changes one setting of the default.
    const auto webpVariant = [&](const std::function<void(WebPSettings &)> &change) {
        WebPSettings settings;
        change(settings);
        return webpAt(settings);
    };
    const auto avifVariant = [&](const std::function<void(AVIFSettings &)> &change) {
        AVIFSettings settings;
        change(settings);
        return avifAt(settings);
    };
    struct Format {
        QString name;
        QString description;
        std::function<EncodeFunction(int)> at;
        QList<std::pair<QString, std::function<EncodeFunction(int)>>> variants;
        int quality = -1;
        Pass pass = {};
        QList<Timing> times = {};
    };
    QList<Format> formats;
    if (wanted.contains(u"webp"))
        formats.append(
            {QStringLiteral("WebP"),
             QStringLiteral("method 6, sharp YUV, auto filter"),
             webpAt(WebPSettings{}),
             {{QStringLiteral("WebP method 4"), webpVariant([](WebPSettings &s) { s.method = 4; })},
              {QStringLiteral("WebP plain YUV"), webpVariant([](WebPSettings &s) { s.sharpYUV = false; })},
              {QStringLiteral("WebP filter 20"), webpVariant([](WebPSettings &s) { s.filterStrength = 20; })}}});
    AVIFSettings avif;
    avif.speed = parser.value(QStringLiteral("avif-speed")).toInt();
    if (wanted.contains(u"avif"))
        formats.append({QStringLiteral("AVIF"),
                        QStringLiteral("libavif, aom, speed %1, 4:2:0").arg(avif.speed),
                        avifAt(avif),
                        {{QStringLiteral("AVIF speed 4"), avifVariant([](AVIFSettings &s) { s.speed = 4; })},
                         {QStringLiteral("AVIF speed 8"), avifVariant([](AVIFSettings &s) { s.speed = 8; })},
                         {QStringLiteral("AVIF through libheif (aom, speed 6)"), [](int quality) {
                              return inProcess([quality](const DecodedImage &image) {
                                  return encodeAVIFWithLibheif(image, quality);
                              });
                          }}}});

    QList<std::pair<QString, Pass>> variants;
    for (Format &format : formats) {
        std::printf("\n%s (%s): the quality matching distance %.3f\n", qPrintable(format.name),
                    qPrintable(format.description), target);
        QMap<int, Pass> passes;
        const QString option = format.name.toLower() + QStringLiteral("-start");
        format.quality = bench.matchQuality(format.name, format.at, target, guess(option, 0), guess(option, 1), passes);
        if (format.quality < 0) {
            std::fprintf(stderr, "%s: no quality reached mozjpeg's distance\n", qPrintable(format.name));
            return 1;
        }
        format.pass = passes[format.quality];
        if (parser.isSet(QStringLiteral("variants")))
            for (const auto &[label, at] : format.variants)
                if (auto result =
                        bench.pass(QStringLiteral("%1 q%2").arg(label).arg(format.quality), at(format.quality)))
                    variants.append({label, *result});
    }

    std::printf("\nTiming the chosen settings (%d runs each, median)\n", runs);
    const QList<Timing> jpegTimes = bench.times(mozjpeg());
    QList<std::pair<QString, const Pass *>> columns{{QStringLiteral("mozjpeg q75"), &*reference}};
    QList<std::pair<QString, QList<Timing>>> timings{{QStringLiteral("cjpeg"), jpegTimes}};
    for (Format &format : formats) {
        format.times = bench.times(format.at(format.quality));
        columns.append({QStringLiteral("%1 q%2").arg(format.name).arg(format.quality), &format.pass});
        timings.append({format.name, format.times});
    }
    printPhotos(bench, columns, timings);

    std::printf("\n| format | default | median distance (3-norm) | median bytes vs mozjpeg q75 | per photo (median) | "
                "encode time vs cjpeg (CPU, wall) |\n|---|---|---|---|---|---|\n");
    std::printf("| JPEG (mozjpeg) | 75 | %.3f (%.3f) | 1.00 | 1.00 | 1.0, 1.0 |\n", reference->medianDistance(),
                reference->medianPNorm());
    for (const Format &format : formats)
        std::printf("| %s | %d | %.3f (%.3f) | %.2f | %.2f | %.1f, %.1f |\n", qPrintable(format.name), format.quality,
                    format.pass.medianDistance(), format.pass.medianPNorm(),
                    medianBytes(format.pass.bytes) / medianBytes(reference->bytes),
                    medianRatio(format.pass.bytes, reference->bytes), medianTimeRatio(format.times, jpegTimes),
                    medianTimeRatio(format.times, jpegTimes, true));
    if (!variants.isEmpty())
        std::printf("\n| variant | median distance | median bytes vs mozjpeg q75 | per photo |\n|---|---|---|---|\n");
    for (const auto &[label, pass] : variants)
        std::printf("| %s | %.3f | %.2f | %.2f |\n", qPrintable(label), pass.medianDistance(),
                    medianBytes(pass.bytes) / medianBytes(reference->bytes), medianRatio(pass.bytes, reference->bytes));
    for (const Format &format : formats) {
        QList<double> slowest;
        for (qsizetype i = 0; i < format.times.size(); ++i)
            slowest.append(format.times[i].cpu / jpegTimes[i].cpu);
        std::printf("\n%s encode / cjpeg per photo (CPU): median %.2f, largest %.2f\n", qPrintable(format.name),
                    median(slowest), *std::max_element(slowest.cbegin(), slowest.cend()));
    }
    return wanted.contains(u"heic") ? heicRoad() : 0;
}
