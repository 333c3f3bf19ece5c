#include "PPMPreprocessing.h"

#include <QSaveFile>

std::optional<QByteArray> makePPMData(const DecodedImage &image)
{
    const auto rgba = renderSRGBPremultipliedRGBA(image);
    if (!rgba)
        return std::nullopt;
    const qsizetype width = rgba->width();
    const qsizetype height = rgba->height();

    QByteArray ppm = "P6\n" + QByteArray::number(width) + ' ' + QByteArray::number(height) + "\n255\n";
    const qsizetype headerLength = ppm.size();
    // Sized once: the pixel loop never reallocates.
    ppm.resize(headerLength + width * height * 3);
    char *out = ppm.data() + headerLength;
    for (qsizetype y = 0; y < height; ++y) {
        const uchar *pixel = rgba->constScanLine(int(y));
        for (qsizetype x = 0; x < width; ++x, pixel += 4) {
            *out++ = char(pixel[0]);
            *out++ = char(pixel[1]);
            *out++ = char(pixel[2]);
        }
    }
    return ppm;
}

Expected<void> writePPM(const QUrl &sourceURL, const QUrl &ppmURL)
{
    const auto source = ImageSource::create(sourceURL);
    if (!source)
        return failure(CompressionPipelineError::readFailed());
    const auto image = source->createImageAtIndex0();
    if (!image)
        return failure(CompressionPipelineError::imageDecodeFailed());
    const auto ppm = makePPMData(*image);
    if (!ppm)
        return failure(CompressionPipelineError::backendExecutionFailed(QStringLiteral("mozjpeg 输入预处理失败：无法生成 PPM")));

    QSaveFile file(ppmURL.toLocalFile());
    const bool written = file.open(QIODevice::WriteOnly) && file.write(*ppm) == ppm->size() && file.commit();
    if (!written)
        return failure(CompressionPipelineError::backendExecutionFailed(QStringLiteral("mozjpeg 输入预处理失败：") + file.errorString()));
    return {};
}
