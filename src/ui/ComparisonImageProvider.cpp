// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComparisonImageProvider.h"

#include "ImageCodec.h"

#include <QRunnable>
#include <QStringList>

#include <atomic>
#include <cmath>
#include <memory>

namespace pressel {

namespace {

struct PictureRequest {
    QUrl file;
    QRect region;
    QSize referenceSize;
};

std::optional<PictureRequest> parseId(const QString &id)
{
    const QStringList parts = id.split(u'/');
    if (parts.size() != 3)
        return std::nullopt;
    const QStringList rect = parts[0].split(u',');
    const QStringList reference = parts[1].split(u'x');
    if (rect.size() != 4 || reference.size() != 2)
        return std::nullopt;
    bool ok = true;
    const auto number = [&ok](const QString &text) {
        bool parsed = false;
        const int value = text.toInt(&parsed);
        ok = ok && parsed;
        return value;
    };
    PictureRequest request;
    request.region = QRect(number(rect[0]), number(rect[1]), number(rect[2]), number(rect[3]));
    request.referenceSize = QSize(number(reference[0]), number(reference[1]));
    const auto path = QByteArray::fromBase64Encoding(parts[2].toLatin1(), QByteArray::Base64UrlEncoding |
                                                                              QByteArray::AbortOnBase64DecodingErrors);
    if (!ok || !path || request.region.isEmpty() || request.referenceSize.isEmpty())
        return std::nullopt;
    request.file = QUrl::fromLocalFile(QString::fromUtf8(*path));
    return request;
}

QRect scaled(const QRect &rect, double scaleX, double scaleY)
{
    return QRectF(rect.x() * scaleX, rect.y() * scaleY, rect.width() * scaleX, rect.height() * scaleY).toAlignedRect();
}

class Response : public QQuickImageResponse
{
public:
    QQuickTextureFactory *textureFactory() const override
    {
        return m_image.isNull() ? nullptr : QQuickTextureFactory::textureFactoryForImage(m_image);
    }
    QString errorString() const override { return m_error; }
    void cancel() override { *m_cancelled = true; }

    const std::shared_ptr<std::atomic_bool> m_cancelled = std::make_shared<std::atomic_bool>(false);

    void deliver(const QImage &image, const QString &error)
    {
        m_image = image;
        m_error = error;
        emit finished();
    }

private:
    QImage m_image;
    QString m_error;
};

} // namespace

ComparisonImageProvider::ComparisonImageProvider()
{
    m_pool.setMaxThreadCount(2);
}

ComparisonImageProvider::~ComparisonImageProvider()
{
    m_pool.clear();
    m_pool.waitForDone();
}

QString ComparisonImageProvider::pictureId(const QUrl &file, const QRect &region, const QSize &referenceSize)
{
    return QStringLiteral("%1,%2,%3,%4/%5x%6/%7")
        .arg(region.x())
        .arg(region.y())
        .arg(region.width())
        .arg(region.height())
        .arg(referenceSize.width())
        .arg(referenceSize.height())
        .arg(QString::fromLatin1(file.toLocalFile().toUtf8().toBase64(QByteArray::Base64UrlEncoding)));
}

std::optional<QImage> ComparisonImageProvider::picture(const QString &id, const QSize &size)
{
    const auto request = parseId(id);
    if (!request)
        return std::nullopt;
    const auto source = ImageSource::create(request->file);
    const auto ownSize = source ? source->uprightSize() : std::nullopt;
    if (!ownSize)
        return std::nullopt;
    QRect region = request->region;
    if (*ownSize != request->referenceSize) {
        region = scaled(region, double(ownSize->width()) / request->referenceSize.width(),
                        double(ownSize->height()) / request->referenceSize.height());
    }
    const QSize wanted = size.isValid() && !size.isEmpty() ? size : region.size();
    const auto decoded = source->createImageAtIndex0(ImageRegion{region, wanted});
    if (!decoded)
        return std::nullopt;
    return decoded->image;
}

QQuickImageResponse *ComparisonImageProvider::requestImageResponse(const QString &id, const QSize &requestedSize)
{
    auto *response = new Response;
    // The engine keeps a response, cancelled or not, until it finishes; the runnable hands the
    // picture over through a queued call in the response's own thread.
    m_pool.start([response, cancelled = response->m_cancelled, id, requestedSize] {
        std::optional<QImage> image;
        if (!*cancelled)
            image = picture(id, requestedSize);
        const QString error = image ? QString() : QStringLiteral("The picture could not be decoded.");
        QMetaObject::invokeMethod(
            response, [response, image = image.value_or(QImage()), error] { response->deliver(image, error); },
            Qt::QueuedConnection);
    });
    return response;
}

} // namespace pressel
