// SPDX-License-Identifier: GPL-3.0-or-later
#include "Thumbnails.h"

#include "ImageCodec.h"

#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QQmlEngine>
#include <QQuickImageProvider>

#include <algorithm>

namespace pressel {

namespace {

class ThumbnailProvider : public QQuickImageProvider
{
public:
    ThumbnailProvider()
        : QQuickImageProvider(QQuickImageProvider::Image)
    {}

    // The id is "<corner fraction>/<the file's path, base64url>".
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override
    {
        const qsizetype slash = id.indexOf(u'/');
        bool ok = false;
        const double cornerFraction = id.left(slash).toDouble(&ok);
        const auto path = QByteArray::fromBase64Encoding(id.mid(slash + 1).toLatin1(),
                                                         QByteArray::Base64UrlEncoding |
                                                             QByteArray::AbortOnBase64DecodingErrors);
        if (slash < 0 || !ok || !path || requestedSize.isEmpty())
            return {};

        // Through the codec, which reads what Qt's plugins do not (HEIC, AVIF, CMYK TIFF), shows
        // it upright and in sRGB, and decodes a JPEG or PNG only at the size it needs.
        const auto source = ImageSource::create(QUrl::fromLocalFile(QString::fromUtf8(*path)));
        const std::optional<QSize> uprightSize = source ? source->uprightSize() : std::nullopt;
        if (!uprightSize || uprightSize->isEmpty())
            return {};
        // Decoded at the smallest size that covers the square, as an Image that crops would.
        const QSize covering = uprightSize->scaled(requestedSize, Qt::KeepAspectRatioByExpanding).boundedTo(*uprightSize);
        const auto decoded = source->createImageAtIndex0(ImageRegion{QRect(QPoint(), *uprightSize), covering});
        if (!decoded || decoded->image.isNull())
            return {};
        const QImage &picture = decoded->image;

        QImage thumbnail(requestedSize, QImage::Format_ARGB32_Premultiplied);
        thumbnail.fill(Qt::transparent);
        QPainter painter(&thumbnail);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        const QSizeF drawn = QSizeF(picture.size()).scaled(requestedSize, Qt::KeepAspectRatioByExpanding);
        const QPointF origin((requestedSize.width() - drawn.width()) / 2, (requestedSize.height() - drawn.height()) / 2);
        QBrush brush(picture);
        brush.setTransform(QTransform::fromTranslate(origin.x(), origin.y())
                               .scale(drawn.width() / picture.width(), drawn.height() / picture.height()));
        const double corner = cornerFraction * requestedSize.width();
        painter.setPen(Qt::NoPen);
        // Transparent pixels over the before/after view's checkerboard tile, ten squares across.
        if (picture.hasAlphaChannel()) {
            const int square = std::max(1, requestedSize.width() / 10);
            QImageReader tile(QStringLiteral(":/Pressel/artwork/checkerboard.svg"));
            tile.setScaledSize(QSize(2 * square, 2 * square));
            const QImage checker = tile.read();
            painter.setBrush(QBrush(checker));
            painter.drawRoundedRect(QRectF(QPointF(), requestedSize), corner, corner);
        }
        painter.setBrush(brush);
        painter.drawRoundedRect(QRectF(QPointF(), requestedSize), corner, corner);
        painter.end();
        if (size)
            *size = thumbnail.size();
        return thumbnail;
    }
};

} // namespace

Thumbnails::Thumbnails(QQmlEngine *engine)
{
    const QString providerName = QString::fromLatin1(name);
    if (!engine->imageProvider(providerName))
        engine->addImageProvider(providerName, new ThumbnailProvider);
}

Thumbnails *Thumbnails::create(QQmlEngine *engine, QJSEngine *)
{
    return new Thumbnails(engine);
}

QUrl Thumbnails::thumbnailURL(const QUrl &file, double cornerFraction) const
{
    if (!file.isLocalFile())
        return {};
    return QUrl(QStringLiteral("image://%1/%2/%3")
                    .arg(QString::fromLatin1(name), QString::number(cornerFraction),
                         QString::fromLatin1(file.toLocalFile().toUtf8().toBase64(QByteArray::Base64UrlEncoding))));
}

} // namespace pressel
