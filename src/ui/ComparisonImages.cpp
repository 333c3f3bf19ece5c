// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComparisonImages.h"

#include "ComparisonImageProvider.h"

#include <QQmlEngine>

namespace pressel {

ComparisonImages::ComparisonImages(QQmlEngine *engine)
{
    const QString name = QString::fromLatin1(ComparisonImageProvider::name);
    if (!engine->imageProvider(name))
        engine->addImageProvider(name, new ComparisonImageProvider);
}

ComparisonImages *ComparisonImages::create(QQmlEngine *engine, QJSEngine *)
{
    return new ComparisonImages(engine);
}

QUrl ComparisonImages::pictureURL(const QUrl &file, const QRect &region, const QSize &referenceSize) const
{
    return QUrl(QStringLiteral("image://%1/%2")
                    .arg(QString::fromLatin1(ComparisonImageProvider::name),
                         ComparisonImageProvider::pictureId(file, region, referenceSize)));
}

} // namespace pressel
