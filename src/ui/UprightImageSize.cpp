// SPDX-License-Identifier: GPL-3.0-or-later
#include "UprightImageSize.h"

#include "ImageCodec.h"

#include <QtConcurrent>

namespace pressel {

UprightImageSize::UprightImageSize(QObject *parent)
    : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcherBase::finished, this, [this] {
        const std::optional<QSize> size = m_watcher.result();
        setResult(size.value_or(QSize()), size ? Ready : Error);
    });
}

void UprightImageSize::setSource(const QUrl &source)
{
    if (source == m_source)
        return;
    m_source = source;
    emit sourceChanged();
    // A reading for the previous file may still run: watching another future drops its answer.
    if (source.isEmpty()) {
        m_watcher.setFuture({});
        setResult({}, Null);
        return;
    }
    setResult({}, Loading);
    m_watcher.setFuture(QtConcurrent::run([source]() -> std::optional<QSize> {
        const auto imageSource = ImageSource::create(source);
        return imageSource ? imageSource->uprightSize() : std::nullopt;
    }));
}

void UprightImageSize::setResult(const QSize &size, Status status)
{
    if (size != m_size) {
        m_size = size;
        emit sizeChanged();
    }
    if (status != m_status) {
        m_status = status;
        emit statusChanged();
    }
}

} // namespace pressel
