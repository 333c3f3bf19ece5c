// Writes the fuzzer's seed corpus: one tiny file of every container and variant the codec
// reads, so that the fuzzer starts from inputs that reach deep into each decoder instead of
// having to discover magic numbers and chunk layouts on its own.
//
//   fuzz_seeds FOLDER
//
// The folder is created and emptied first. HEIC and AVIF seeds are written when heif-enc and
// its encoders are installed. Exit status 0 when every other seed was written.

#include "TestFiles.h"
#include "TestImages.h"

#include <QColorSpace>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>
#include <png.h>

namespace {

// Small enough that the fuzzer runs thousands of inputs a second, large enough for several
// JPEG blocks, PNG rows and colours.
constexpr int seedWidth = 24;
constexpr int seedHeight = 16;

QImage picture()
{
    return TestImages::photo(seedWidth, seedHeight, 11);
}

QImage graphic()
{
    return TestImages::transparentGraphic(seedWidth, seedHeight);
}

// --- colour profiles ------------------------------------------------------------------------

QByteArray saveProfile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

cmsInt32Number naiveInks(const cmsUInt16Number in[], cmsUInt16Number out[], void *toLab)
{
    double rgb[3];
    for (int channel = 0; channel < 3; ++channel)
        rgb[channel] = (1.0 - in[channel] / 65535.0) * (1.0 - in[3] / 65535.0);
    cmsCIELab lab;
    cmsDoTransform(static_cast<cmsHTRANSFORM>(toLab), rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

// The smallest useful CMYK output profile: a 3-point grid from naive inks to Lab.
QByteArray cmykProfile()
{
    cmsHPROFILE sRGB = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(sRGB, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline *pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage *grid = cmsStageAllocCLut16bit(nullptr, 3, 4, 3, nullptr);
    cmsStageSampleCLut16bit(grid, naiveInks, toLab, 0);
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(pipeline, cmsAT_END, grid);
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(pipeline);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(sRGB);
    return saveProfile(profile);
}

QByteArray greyProfile(double gamma)
{
    cmsToneCurve *curve = cmsBuildGamma(nullptr, gamma);
    const QByteArray profile = saveProfile(cmsCreateGrayProfile(cmsD50_xyY(), curve));
    cmsFreeToneCurve(curve);
    return profile;
}

QByteArray wideGamutProfile(QColorSpace::NamedColorSpace space)
{
    return QColorSpace(space).iccProfile();
}

// --- JPEG through libjpeg, for the variants Qt's writer cannot make -------------------------

struct JPEGOptions {
    J_COLOR_SPACE colorSpace = JCS_RGB; // JCS_CMYK and JCS_YCCK store inverted inks with APP14
    bool progressive = false;
    bool arithmetic = false;
    unsigned int restartInterval = 0;
    bool fullChroma = false; // 4:4:4 instead of libjpeg's 4:2:0
    QByteArray iccProfile = {};
};

int componentCount(J_COLOR_SPACE space)
{
    switch (space) {
    case JCS_GRAYSCALE:
        return 1;
    case JCS_CMYK:
    case JCS_YCCK:
        return 4;
    default:
        return 3;
    }
}

std::vector<JSAMPLE> jpegSamples(J_COLOR_SPACE space)
{
    const QImage source = picture();
    std::vector<JSAMPLE> samples;
    for (int y = 0; y < seedHeight; ++y) {
        for (int x = 0; x < seedWidth; ++x) {
            const QRgb pixel = source.pixel(x, y);
            const int rgb[3] = {qRed(pixel), qGreen(pixel), qBlue(pixel)};
            switch (componentCount(space)) {
            case 1:
                samples.push_back(JSAMPLE(qGray(pixel)));
                break;
            case 3:
                samples.insert(samples.end(), {JSAMPLE(rgb[0]), JSAMPLE(rgb[1]), JSAMPLE(rgb[2])});
                break;
            default: {
                const int k = 255 - std::max({rgb[0], rgb[1], rgb[2]});
                for (int value : rgb)
                    samples.push_back(JSAMPLE(value + k)); // inverted ink: 255 - (255 - value - k)
                samples.push_back(JSAMPLE(255 - k));
            }
            }
        }
    }
    return samples;
}

struct JPEGJob {
    const JPEGOptions *options;
    const std::vector<JSAMPLE> *samples;
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
};

struct JPEGError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void jumpOut(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JPEGError *>(info->err)->jump, 1);
}

// Only plain data in this frame, so the jump of an error skips no destructor.
bool compressJPEG(jpeg_compress_struct *info, JPEGError *error, JPEGJob *job)
{
    if (setjmp(error->jump))
        return false;
    jpeg_create_compress(info);
    jpeg_mem_dest(info, &job->buffer, &job->size);
    const JPEGOptions &options = *job->options;
    info->image_width = seedWidth;
    info->image_height = seedHeight;
    info->input_components = componentCount(options.colorSpace);
    info->in_color_space = options.colorSpace == JCS_YCCK ? JCS_CMYK : options.colorSpace;
    jpeg_set_defaults(info);
    if (options.colorSpace == JCS_YCCK)
        jpeg_set_colorspace(info, JCS_YCCK);
    jpeg_set_quality(info, 85, TRUE);
    if (options.progressive)
        jpeg_simple_progression(info);
    info->arith_code = options.arithmetic ? TRUE : FALSE;
    info->optimize_coding = options.arithmetic ? FALSE : TRUE;
    info->restart_interval = options.restartInterval;
    if (options.fullChroma) {
        for (int component = 0; component < info->num_components; ++component) {
            info->comp_info[component].h_samp_factor = 1;
            info->comp_info[component].v_samp_factor = 1;
        }
    }
    jpeg_start_compress(info, TRUE);
    if (!options.iccProfile.isEmpty())
        jpeg_write_icc_profile(info, reinterpret_cast<const JOCTET *>(options.iccProfile.constData()),
                               unsigned(options.iccProfile.size()));
    const size_t rowLength = size_t(seedWidth) * size_t(info->input_components);
    while (info->next_scanline < info->image_height) {
        JSAMPROW rows[1] = {const_cast<JSAMPLE *>(job->samples->data() + rowLength * info->next_scanline)};
        jpeg_write_scanlines(info, rows, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

QByteArray libjpegEncode(const JPEGOptions &options)
{
    const std::vector<JSAMPLE> samples = jpegSamples(options.colorSpace);
    jpeg_compress_struct info{};
    JPEGError error{};
    info.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = jumpOut;
    JPEGJob job{&options, &samples};
    const bool compressed = compressJPEG(&info, &error, &job);
    jpeg_destroy_compress(&info);
    QByteArray bytes;
    if (compressed)
        bytes = QByteArray(reinterpret_cast<const char *>(job.buffer), qsizetype(job.size));
    std::free(job.buffer);
    return bytes;
}

// --- PNG through libpng, for every colour type and bit depth ---------------------------------

struct PNGOptions {
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    bool transparency = false;  // tRNS: palette alphas, or one transparent grey or RGB colour
    double gamma = 0;           // gAMA when not 0
    QByteArray iccProfile = {}; // iCCP when not empty
};

// One row of samples packed as the PNG stores them: sub-byte depths MSB first, 16-bit big-endian.
class RowWriter
{
public:
    explicit RowWriter(int bitDepth)
        : m_bitDepth(bitDepth)
    {}
    void put(int value)
    {
        if (m_bitDepth == 16) {
            const int wide = value * 257;
            m_row.push_back(png_byte(wide >> 8));
            m_row.push_back(png_byte(wide & 0xFF));
        } else if (m_bitDepth == 8) {
            m_row.push_back(png_byte(value));
        } else {
            m_bits = (m_bits << m_bitDepth) | (value >> (8 - m_bitDepth));
            m_bitCount += m_bitDepth;
            if (m_bitCount == 8) {
                m_row.push_back(png_byte(m_bits));
                m_bits = 0;
                m_bitCount = 0;
            }
        }
    }
    std::vector<png_byte> finish()
    {
        if (m_bitCount > 0)
            m_row.push_back(png_byte(m_bits << (8 - m_bitCount)));
        return std::move(m_row);
    }

private:
    int m_bitDepth;
    std::vector<png_byte> m_row;
    int m_bits = 0;
    int m_bitCount = 0;
};

std::vector<std::vector<png_byte>> pngRows(const PNGOptions &options)
{
    const bool alpha = options.colourType & PNG_COLOR_MASK_ALPHA;
    const QImage source = alpha ? graphic() : picture();
    std::vector<std::vector<png_byte>> rows;
    for (int y = 0; y < seedHeight; ++y) {
        RowWriter row(options.bitDepth);
        for (int x = 0; x < seedWidth; ++x) {
            const QRgb pixel = source.pixel(x, y);
            switch (options.colourType) {
            case PNG_COLOR_TYPE_GRAY:
            case PNG_COLOR_TYPE_PALETTE: // the palette is a grey ramp of 2^depth entries
                row.put(qGray(pixel));
                break;
            case PNG_COLOR_TYPE_GRAY_ALPHA:
                row.put(qGray(pixel));
                row.put(qAlpha(pixel));
                break;
            case PNG_COLOR_TYPE_RGB:
                row.put(qRed(pixel));
                row.put(qGreen(pixel));
                row.put(qBlue(pixel));
                break;
            default:
                row.put(qRed(pixel));
                row.put(qGreen(pixel));
                row.put(qBlue(pixel));
                row.put(qAlpha(pixel));
            }
        }
        rows.push_back(row.finish());
    }
    return rows;
}

void appendToByteArray(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), qsizetype(length));
}

void flushNothing(png_structp) {}

struct PNGJob {
    const PNGOptions *options;
    png_bytepp rows;
    QByteArray *bytes;
};

// Only plain data in this frame, so the jump of an error skips no destructor.
bool compressPNG(png_structp png, png_infop info, PNGJob *job)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const PNGOptions &options = *job->options;
    png_set_write_fn(png, job->bytes, appendToByteArray, flushNothing);
    png_set_IHDR(png, info, seedWidth, seedHeight, options.bitDepth, options.colourType,
                 options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    png_byte alphas[256];
    if (options.colourType == PNG_COLOR_TYPE_PALETTE) {
        const int entries = 1 << options.bitDepth;
        for (int index = 0; index < entries; ++index) {
            const auto level = png_byte(index * 255 / (entries - 1));
            palette[index] = png_color{level, png_byte(255 - level), png_byte(level / 2)};
            alphas[index] = png_byte(index % 2 ? 255 : index * 255 / entries);
        }
        png_set_PLTE(png, info, palette, entries);
        if (options.transparency)
            png_set_tRNS(png, info, alphas, std::max(1, entries / 2), nullptr);
    } else if (options.transparency) {
        png_color_16 transparent{};
        transparent.gray = png_uint_16(1);
        transparent.red = transparent.green = transparent.blue = png_uint_16(1);
        png_set_tRNS(png, info, nullptr, 0, &transparent);
    }
    if (options.gamma > 0)
        png_set_gAMA(png, info, options.gamma);
    if (!options.iccProfile.isEmpty())
        png_set_iCCP(png, info, "seed", PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(options.iccProfile.constData()),
                     png_uint_32(options.iccProfile.size()));
    png_set_rows(png, info, job->rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    return true;
}

QByteArray libpngEncode(const PNGOptions &options)
{
    std::vector<std::vector<png_byte>> rows = pngRows(options);
    std::vector<png_bytep> rowPointers;
    for (auto &row : rows)
        rowPointers.push_back(row.data());
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    QByteArray bytes;
    PNGJob job{&options, rowPointers.data(), &bytes};
    const bool compressed = info && compressPNG(png, info, &job);
    png_destroy_write_struct(&png, &info);
    return compressed ? bytes : QByteArray();
}

// An animated PNG as far as a first-frame reader cares: acTL and fcTL ahead of the image data.
QByteArray animatedPNG(const QByteArray &png)
{
    QByteArray control(26, '\0');
    const auto big32 = [&](qsizetype at, quint32 value) {
        for (int shift = 0; shift < 4; ++shift)
            control[at + shift] = char(value >> (24 - 8 * shift));
    };
    big32(4, seedWidth);
    big32(8, seedHeight);
    control[22] = 1; // delay 1/100 s
    control[23] = 100;
    QByteArray animation(8, '\0');
    animation[3] = 2; // two frames, of which the file holds the first
    return TestImages::insertPNGChunk(TestImages::insertPNGChunk(png, "fcTL", control), "acTL", animation);
}

// --- HEIF family through heif-enc -------------------------------------------------------------

QByteArray heifEncode(const QImage &image, const QStringList &options, const QString &scratch)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("heif-enc"));
    if (program.isEmpty())
        return {};
    const QString input = QDir(scratch).filePath(QStringLiteral("input.png"));
    const QString output = QDir(scratch).filePath(QStringLiteral("output.heif"));
    if (!image.save(input, "PNG"))
        return {};
    QProcess encoder;
    encoder.setProcessChannelMode(QProcess::MergedChannels);
    encoder.start(program, options + QStringList{QStringLiteral("-q"), QStringLiteral("50"), input,
                                                 QStringLiteral("-o"), output});
    const bool encoded =
        encoder.waitForFinished(60'000) && encoder.exitStatus() == QProcess::NormalExit && encoder.exitCode() == 0;
    const QByteArray bytes = encoded ? TestFiles::readFile(output) : QByteArray();
    QFile::remove(input);
    QFile::remove(output);
    return bytes;
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
    if ((folder.exists() && !folder.removeRecursively()) || !folder.mkpath(QStringLiteral("."))) {
        err << "fuzz_seeds: cannot prepare " << folder.path() << '\n';
        return 1;
    }
    int failures = 0;
    int written = 0;
    const auto seed = [&](const char *name, const QByteArray &bytes) {
        if (bytes.isEmpty() || !TestFiles::writeFile(folder.filePath(QString::fromUtf8(name)), bytes)) {
            err << "fuzz_seeds: could not make " << name << '\n';
            ++failures;
            return;
        }
        ++written;
    };
    using TestImages::encode;

    // JPEG
    const QByteArray baseline = encode(picture(), "jpeg", 85);
    seed("baseline.jpg", baseline);
    seed("grey.jpg", libjpegEncode({.colorSpace = JCS_GRAYSCALE}));
    seed("progressive.jpg", libjpegEncode({.progressive = true}));
    seed("arithmetic.jpg", libjpegEncode({.arithmetic = true}));
    seed("progressive-arithmetic.jpg", libjpegEncode({.progressive = true, .arithmetic = true}));
    seed("restart-markers.jpg", libjpegEncode({.restartInterval = 1}));
    seed("full-chroma.jpg", libjpegEncode({.fullChroma = true}));
    seed("cmyk-plain.jpg", libjpegEncode({.colorSpace = JCS_CMYK}));
    seed("cmyk-profiled.jpg", libjpegEncode({.colorSpace = JCS_CMYK, .iccProfile = cmykProfile()}));
    seed("ycck-profiled.jpg",
         libjpegEncode({.colorSpace = JCS_YCCK, .progressive = true, .iccProfile = cmykProfile()}));
    seed("display-p3.jpg", libjpegEncode({.iccProfile = wideGamutProfile(QColorSpace::DisplayP3)}));
    seed("grey-profiled.jpg", libjpegEncode({.colorSpace = JCS_GRAYSCALE, .iccProfile = greyProfile(1.0)}));
    seed("exif-rotated.jpg", TestImages::insertJPEGSegment(baseline, 0xE1, TestImages::exifPayload(6)));
    seed("exif-mirrored.jpg", TestImages::insertJPEGSegment(baseline, 0xE1, TestImages::exifPayload(5)));
    seed("truncated.jpg", baseline.left(baseline.size() / 2));

    // PNG: every colour type and bit depth, and the chunks that change how pixels read
    for (const int depth : {1, 2, 4, 8, 16})
        seed(qPrintable(QStringLiteral("grey-%1.png").arg(depth)),
             libpngEncode({.colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = depth}));
    for (const int depth : {1, 2, 4, 8}) {
        seed(qPrintable(QStringLiteral("palette-%1.png").arg(depth)),
             libpngEncode({.colourType = PNG_COLOR_TYPE_PALETTE, .bitDepth = depth}));
        seed(qPrintable(QStringLiteral("palette-%1-trns.png").arg(depth)),
             libpngEncode({.colourType = PNG_COLOR_TYPE_PALETTE, .bitDepth = depth, .transparency = true}));
    }
    for (const int depth : {8, 16}) {
        seed(qPrintable(QStringLiteral("grey-alpha-%1.png").arg(depth)),
             libpngEncode({.colourType = PNG_COLOR_TYPE_GRAY_ALPHA, .bitDepth = depth}));
        seed(qPrintable(QStringLiteral("rgb-%1.png").arg(depth)),
             libpngEncode({.colourType = PNG_COLOR_TYPE_RGB, .bitDepth = depth}));
        seed(qPrintable(QStringLiteral("rgba-%1.png").arg(depth)),
             libpngEncode({.colourType = PNG_COLOR_TYPE_RGB_ALPHA, .bitDepth = depth}));
    }
    seed("grey-8-trns.png", libpngEncode({.colourType = PNG_COLOR_TYPE_GRAY, .transparency = true}));
    seed("rgb-8-trns.png", libpngEncode({.colourType = PNG_COLOR_TYPE_RGB, .transparency = true}));
    seed("rgba-8-interlaced.png", libpngEncode({.colourType = PNG_COLOR_TYPE_RGB_ALPHA, .interlaced = true}));
    seed("palette-4-interlaced.png",
         libpngEncode({.colourType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 4, .interlaced = true}));
    seed("rgb-8-gama.png", libpngEncode({.gamma = 1.0 / 1.8}));
    seed("rgb-8-iccp-adobe.png", libpngEncode({.iccProfile = wideGamutProfile(QColorSpace::AdobeRgb)}));
    seed("grey-16-iccp.png",
         libpngEncode({.colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 16, .iccProfile = greyProfile(1.0)}));
    seed("animated.png", animatedPNG(libpngEncode({.colourType = PNG_COLOR_TYPE_RGB_ALPHA})));

    // The other containers that are detected and decoded, then reported as not handled
    seed("image.gif", TestImages::gif(picture()));
    seed("rgb.tiff", encode(picture(), "tiff"));
    seed("grey.tiff", encode(picture().convertToFormat(QImage::Format_Grayscale8), "tiff"));
    seed("alpha.tiff", encode(graphic(), "tiff"));
    seed("lossy.webp", encode(picture(), "webp", 60));
    seed("lossless-alpha.webp", encode(graphic(), "webp", 100));
    seed("rgb.bmp", encode(picture(), "bmp"));
    seed("indexed.bmp", encode(picture().convertToFormat(QImage::Format_Indexed8), "bmp"));
    seed("icon.ico", encode(graphic(), "ico"));

    QTemporaryDir scratch;
    const QList<std::pair<const char *, QByteArray>> heif{
        {"image.heic", heifEncode(picture(), {}, scratch.path())},
        {"alpha.heic", heifEncode(graphic(), {}, scratch.path())},
        {"image.avif", heifEncode(picture(), {QStringLiteral("-A")}, scratch.path())},
    };
    for (const auto &[name, bytes] : heif) {
        if (bytes.isEmpty())
            err << "fuzz_seeds: no " << name << " (heif-enc or its encoder is missing)\n";
        else
            seed(name, bytes);
    }

    err << "fuzz_seeds: " << written << " seeds in " << folder.path() << '\n';
    return failures == 0 ? 0 : 1;
}
