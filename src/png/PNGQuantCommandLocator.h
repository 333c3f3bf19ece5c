#pragma once

#include "CommandLocator.h"

// Finds pngquant inside the application bundle only.
class PNGQuantCommandLocator
{
public:
    explicit PNGQuantCommandLocator(ApplicationBundle bundle = ApplicationBundle::main())
        : m_locator(QStringLiteral("pngquant"), QStringLiteral("pngquant"), std::move(bundle))
    {
    }

    std::optional<QUrl> locate() const { return m_locator.locate(); }
    QList<QUrl> candidateURLs() const { return m_locator.candidateURLs(); }

private:
    CommandLocator m_locator;
};
