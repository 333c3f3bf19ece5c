// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionPipelineError.h"

#include <QString>

#include <expected>
#include <optional>

namespace pressel {

// What any step of the pipeline fails with: a pipeline error, or another error (a file system
// error, say) that keeps its own localized description.
class CompressionError
{
public:
    CompressionError(const CompressionPipelineError &error) : m_pipelineError(error) {} // NOLINT: implicit on purpose

    static CompressionError other(const QString &localizedDescription)
    {
        CompressionError error;
        error.m_otherDescription = localizedDescription;
        return error;
    }

    // The pipeline error, or null for an error of another kind.
    const CompressionPipelineError *pipelineError() const { return m_pipelineError ? &*m_pipelineError : nullptr; }
    bool is(CompressionPipelineError::Kind kind) const { return m_pipelineError && m_pipelineError->kind() == kind; }

    QString localizedDescription() const
    {
        return m_pipelineError ? m_pipelineError->localizedDescription() : m_otherDescription;
    }

private:
    CompressionError() = default;

    std::optional<CompressionPipelineError> m_pipelineError;
    QString m_otherDescription;
};

template<typename T>
using Expected = std::expected<T, CompressionError>;

// Shorthand for returning an error from a function that yields Expected<T>.
inline std::unexpected<CompressionError> failure(const CompressionError &error)
{
    return std::unexpected<CompressionError>(error);
}

} // namespace pressel
