// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QQuickImageProvider>
#include <QRect>
#include <QSize>
#include <QThreadPool>
#include <QUrl>

#include <optional>

namespace pressel {

// The pictures of the before/after view, decoded off the GUI thread through the codec: a part
// of a file, upright and in sRGB, at the size the view draws it. Source and output are read the
// same way, so the only difference the view shows is what compression did.
class ComparisonImageProvider : public QQuickAsyncImageProvider
{
public:
    static constexpr const char *name = "pressel-comparison";

    ComparisonImageProvider();
    ~ComparisonImageProvider() override;

    // The id of `region` of `file`, in the pixels of a picture of `referenceSize` (the source's
    // upright size; an output of another size is asked for the same part of itself).
    static QString pictureId(const QUrl &file, const QRect &region, const QSize &referenceSize);

    // What an id stands for, decoded at `size` (the region's own size when invalid). Absent for
    // malformed ids and files that do not decode.
    static std::optional<QImage> picture(const QString &id, const QSize &size);

    QQuickImageResponse *requestImageResponse(const QString &id, const QSize &requestedSize) override;

private:
    // Few threads: a request that waits is soon replaced by a newer one, and two full-resolution
    // decodes at a time keep memory bounded.
    QThreadPool m_pool;
};

} // namespace pressel
