// SPDX-License-Identifier: GPL-3.0-or-later
#include "ContentType.h"

#include <array>

namespace pressel {

namespace {

struct Declaration {
    const char16_t *identifier;
    const char16_t *declaredUnder; // one supertype is enough for this table
};

// The types the codec layer reports.
const std::array<Declaration, 13> declarations{{
    {u"public.data", nullptr},
    {u"public.image", u"public.data"},
    {u"public.jpeg", u"public.image"},
    {u"public.png", u"public.image"},
    {u"public.heif-standard", u"public.image"},
    {u"public.heif", u"public.heif-standard"},
    {u"public.heic", u"public.heif-standard"},
    {u"public.avif", u"public.heif-standard"},
    {u"public.tiff", u"public.image"},
    {u"com.compuserve.gif", u"public.image"},
    {u"com.microsoft.bmp", u"public.image"},
    {u"org.webmproject.webp", u"public.image"},
    {u"com.microsoft.ico", u"public.image"},
}};

const Declaration *find(QStringView identifier)
{
    for (const Declaration &declaration : declarations) {
        if (identifier == QStringView(declaration.identifier))
            return &declaration;
    }
    return nullptr;
}

} // namespace

std::optional<ContentType> ContentType::fromIdentifier(const QString &identifier)
{
    if (!find(identifier))
        return std::nullopt;
    return ContentType(identifier);
}

bool ContentType::conforms(const ContentType &supertype) const
{
    for (const Declaration *declaration = find(m_identifier); declaration;
         declaration = declaration->declaredUnder ? find(declaration->declaredUnder) : nullptr) {
        if (supertype.m_identifier == QStringView(declaration->identifier))
            return true;
    }
    return false;
}

ContentType ContentType::image() { return ContentType(QStringLiteral("public.image")); }
ContentType ContentType::jpeg() { return ContentType(QStringLiteral("public.jpeg")); }
ContentType ContentType::png() { return ContentType(QStringLiteral("public.png")); }
ContentType ContentType::heic() { return ContentType(QStringLiteral("public.heic")); }
ContentType ContentType::heif() { return ContentType(QStringLiteral("public.heif")); }
ContentType ContentType::tiff() { return ContentType(QStringLiteral("public.tiff")); }

} // namespace pressel
