// SPDX-License-Identifier: GPL-3.0-or-later
#include "Translation.h"

#include <QCoreApplication>
#include <QFileInfo>
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

void install()
{
    const QString file = fileFor(QLocale::system().uiLanguages());
    if (file.isEmpty())
        return;
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(file))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace Translation

} // namespace pressel
