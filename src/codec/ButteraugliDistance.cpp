// SPDX-License-Identifier: GPL-3.0-or-later
#include "ButteraugliDistance.h"

#include <QPainter>

#include <jxl/butteraugli.h>
#include <jxl/thread_parallel_runner.h>

namespace pressel {

struct ButteraugliDistance::Private {
    JxlButteraugliApi *api = nullptr;
    void *runner = nullptr;
};

ButteraugliDistance::ButteraugliDistance(int threads)
    : d(std::make_unique<Private>())
{
    d->api = JxlButteraugliApiCreate(nullptr);
    if (threads > 1 && d->api) {
        d->runner = JxlThreadParallelRunnerCreate(nullptr, size_t(threads));
        JxlButteraugliApiSetParallelRunner(d->api, JxlThreadParallelRunner, d->runner);
    }
}

ButteraugliDistance::~ButteraugliDistance()
{
    if (d->api)
        JxlButteraugliApiDestroy(d->api);
    if (d->runner)
        JxlThreadParallelRunnerDestroy(d->runner);
}

QImage ButteraugliDistance::measurable(const QImage &image)
{
    if (image.format() == QImage::Format_RGB888)
        return image;
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB888);
    QImage canvas(image.size(), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, image);
    painter.end();
    return canvas.convertToFormat(QImage::Format_RGB888);
}

std::optional<ButteraugliDistance::Distance> ButteraugliDistance::compare(const QImage &reference,
                                                                          const QImage &distorted) const
{
    if (!d->api || reference.size() != distorted.size() || reference.isNull())
        return std::nullopt;
    // Rows as JxlPixelFormat's alignment describes them: QImage's own, 4-byte aligned; a
    // decoder's other row stride goes to a copy.
    const QImage first = measurable(reference);
    QImage second = measurable(distorted);
    if (second.bytesPerLine() != first.bytesPerLine())
        second = second.copy();
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
    JxlButteraugliResult *result =
        JxlButteraugliCompute(d->api, uint32_t(first.width()), uint32_t(first.height()), &format, first.constBits(),
                              size_t(first.sizeInBytes()), &format, second.constBits(), size_t(second.sizeInBytes()));
    if (!result)
        return std::nullopt;
    const Distance distance{JxlButteraugliResultGetMaxDistance(result), JxlButteraugliResultGetDistance(result, 3)};
    JxlButteraugliResultDestroy(result);
    return distance;
}

std::optional<ButteraugliDistance::Distance> ButteraugliDistance::compareEncoded(const QImage &reference,
                                                                                 const QByteArray &encoded) const
{
    const auto source = ImageSource::fromBytes(encoded);
    const auto decoded = source ? source->createImageAtIndex0() : std::nullopt;
    if (!decoded || decoded->damaged)
        return std::nullopt;
    return compare(reference, decoded->image);
}

} // namespace pressel
