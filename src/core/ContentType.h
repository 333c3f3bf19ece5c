// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace pressel {

// A small table of content types in the manner of uniform type identifiers: an identifier and
// the types it is declared under.
class ContentType
{
public:
    static std::optional<ContentType> fromIdentifier(const QString &identifier);
    static ContentType image();
    static ContentType jpeg();
    static ContentType png();
    static ContentType heic();
    static ContentType heif();
    static ContentType tiff();

    const QString &identifier() const { return m_identifier; }
    // A type conforms to itself and to every type it is declared under, transitively.
    bool conforms(const ContentType &supertype) const;

    friend bool operator==(const ContentType &, const ContentType &) = default;

private:
    explicit ContentType(QString identifier) : m_identifier(std::move(identifier)) {}

    QString m_identifier;
};

} // namespace pressel
