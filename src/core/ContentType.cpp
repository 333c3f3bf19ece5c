#include "ContentType.h"

#include <QStringList>

#include <array>

namespace {

struct Declaration {
    const char16_t *identifier;
    const char16_t *declaredUnder; // one supertype is enough for this table
    std::initializer_list<const char16_t *> extensions;
};

// The types the codec layer reports and the extensions a user's files carry.
const std::array<Declaration, 14> declarations{{
    {u"public.data", nullptr, {}},
    {u"public.image", u"public.data", {}},
    {u"public.jpeg", u"public.image", {u"jpg", u"jpeg", u"jpe", u"jfif", u"pjpeg", u"pjp"}},
    {u"public.png", u"public.image", {u"png"}},
    {u"public.heif-standard", u"public.image", {}},
    {u"public.heif", u"public.heif-standard", {u"heif", u"heifs", u"hif"}},
    {u"public.heic", u"public.heif-standard", {u"heic", u"heics"}},
    {u"public.avif", u"public.heif-standard", {u"avif"}},
    {u"public.tiff", u"public.image", {u"tif", u"tiff"}},
    {u"com.compuserve.gif", u"public.image", {u"gif"}},
    {u"com.microsoft.bmp", u"public.image", {u"bmp", u"dib"}},
    {u"org.webmproject.webp", u"public.image", {u"webp"}},
    {u"com.microsoft.ico", u"public.image", {u"ico"}},
    {u"public.plain-text", u"public.data", {u"txt", u"text"}},
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

std::optional<ContentType> ContentType::fromFilenameExtension(const QString &extension, const ContentType &supertype)
{
    const QString lowered = extension.toLower();
    for (const Declaration &declaration : declarations) {
        for (const char16_t *candidate : declaration.extensions) {
            if (lowered == QStringView(candidate)) {
                const ContentType type(QString::fromUtf16(declaration.identifier));
                if (type.conforms(supertype))
                    return type;
            }
        }
    }
    return std::nullopt;
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

ContentType ContentType::data() { return ContentType(QStringLiteral("public.data")); }
ContentType ContentType::image() { return ContentType(QStringLiteral("public.image")); }
ContentType ContentType::jpeg() { return ContentType(QStringLiteral("public.jpeg")); }
ContentType ContentType::png() { return ContentType(QStringLiteral("public.png")); }
ContentType ContentType::heic() { return ContentType(QStringLiteral("public.heic")); }
ContentType ContentType::heif() { return ContentType(QStringLiteral("public.heif")); }
ContentType ContentType::tiff() { return ContentType(QStringLiteral("public.tiff")); }
