#pragma once

#include "CommandLocator.h"

// Finds mozjpeg's cjpeg inside the application bundle only.
class MozJPEGCommandLocator
{
public:
    explicit MozJPEGCommandLocator(ApplicationBundle bundle = ApplicationBundle::main())
        : m_locator(QStringLiteral("cjpeg"), QStringLiteral("mozjpeg"), std::move(bundle))
    {}

    std::optional<QUrl> locate() const { return m_locator.locate(); }
    QList<QUrl> candidateURLs() const { return m_locator.candidateURLs(); }

private:
    CommandLocator m_locator;
};
