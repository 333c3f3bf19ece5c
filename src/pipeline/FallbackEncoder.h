// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ToolEncoder.h"
#include "InProcessEncoder.h"

#include <QLoggingCategory>
#include <QString>

#include <optional>

namespace pressel {

// The shape of both formats' encoders: the external tool first; on any failure of it the reason logged
// and the in-process encoder writing the file anew instead. Only the in-process
// encoder's failure reaches the caller, but for a stop: the tool's failure then ends it,
// since whoever asked for the stop no longer wants the file. Without a tool the in-process
// encoder writes every file.
class FallbackEncoder : public Encoder
{
public:
    struct Log {
        const QLoggingCategory &(*category)();
        QString formatName; // "JPEG" or "PNG"
    };

    FallbackEncoder(std::optional<ToolEncoder> tool, InProcessEncoder fallback, Log log)
        : m_tool(std::move(tool))
        , m_fallback(std::move(fallback))
        , m_log(std::move(log))
    {}

    Expected<void> compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                            const std::stop_token &stop = {}) const override;

private:
    std::optional<ToolEncoder> m_tool;
    InProcessEncoder m_fallback;
    Log m_log;
};

} // namespace pressel
