// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pressel {

// The one vocabulary of image types, from a file's first bytes to an encoder: the kinds the
// pipeline tells apart, each with its extension and MIME type (one table, in ImageFormat.cpp).
// A decided source's format: JPEG carries the extension its output gets ("jpeg" or "jpg");
// unknown, and a WebP or AVIF source, carry the source's lowercased filename extension (possibly
// empty), which the refusal of a format kept as it is names. WebP and AVIF are outputs too.
class ImageFormat
{
public:
    enum class Kind { jpeg, png, heic, heif, tiff, webp, avif, unknown };

    static ImageFormat jpeg(const QString &preferredExtension) { return {Kind::jpeg, preferredExtension}; }
    static ImageFormat png() { return {Kind::png, {}}; }
    static ImageFormat heic() { return {Kind::heic, {}}; }
    static ImageFormat heif() { return {Kind::heif, {}}; }
    static ImageFormat tiff() { return {Kind::tiff, {}}; }
    static ImageFormat webp(const QString &pathExtension = {}) { return {Kind::webp, pathExtension}; }
    static ImageFormat avif(const QString &pathExtension = {}) { return {Kind::avif, pathExtension}; }
    static ImageFormat unknown(const QString &pathExtension) { return {Kind::unknown, pathExtension}; }

    Kind kind() const { return m_kind; }
    // preferredExtension for jpeg, pathExtension for unknown, webp and avif, empty otherwise.
    const QString &payload() const { return m_payload; }
    // The extension an output of this format gets.
    QString fileExtension() const;
    static QString mimeType(Kind kind);
    // The lowercase extensions a file of the kind is known by, an output's first ("jpg", "jpeg").
    static QStringList fileNameExtensions(Kind kind);
    // The name a person knows the format by: "JPEG", "HEIC", "WebP".
    static QString displayName(Kind kind);
    // Qt's image plugin for the kind; empty where Qt does not write it.
    static QByteArray qtFormat(Kind kind);

private:
    ImageFormat(Kind kind, QString payload) : m_kind(kind), m_payload(std::move(payload)) {}

    Kind m_kind;
    QString m_payload;
};

} // namespace pressel
