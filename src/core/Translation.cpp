// SPDX-License-Identifier: GPL-3.0-or-later
#include "Translation.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace pressel {

namespace Translation {

namespace {

const QString folder = QStringLiteral(":/i18n/");
const QString englishFile = folder + QStringLiteral("pressel_en.qm");

} // namespace

QString fileFor(const QStringList &uiLanguages)
{
    const QString first = uiLanguages.value(0);
    if (first.isEmpty() || first == u"C" || first == u"POSIX" || first.startsWith(u"zh"))
        return {};
    // "de-AT" looks for pressel_de_AT, then pressel_de.
    QString name = QLocale(first).name();
    for (;;) {
        const QString file = folder + QStringLiteral("pressel_") + name + QStringLiteral(".qm");
        if (QFileInfo::exists(file))
            return file;
        const qsizetype cut = name.lastIndexOf(u'_');
        if (cut < 0)
            break;
        name.truncate(cut);
    }
    return englishFile;
}

namespace {

void installFile(const QString &file, const QString &folder = {})
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(file, folder))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace

void install()
{
    const QString file = fileFor(QLocale::system().uiLanguages());
    // The source texts are Chinese; "pressel_en.qm" is English, which Qt's texts are already.
    const QString language = file.isEmpty() ? QStringLiteral("zh_CN") : QFileInfo(file).baseName().section(u'_', 1);
    installFile(QStringLiteral("qtbase_") + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!file.isEmpty())
        installFile(file);
}

} // namespace Translation

} // namespace pressel
