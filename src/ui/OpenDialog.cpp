// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenDialog.h"

#include "CompressionSettings.h"
#include "EncoderTable.h"
#include "ImageFormat.h"
#include "Logging.h"
#include "SessionBus.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QPalette>
#include <QRandomGenerator>

namespace pressel {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString fileChooserInterface = QStringLiteral("org.freedesktop.portal.FileChooser");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

// A portal filter, D-Bus type (sa(us)): its name and its rules, each a glob (0) or a MIME type (1).
struct PortalRule {
    uint type;
    QString pattern;
};
struct PortalFilter {
    QString name;
    QList<PortalRule> rules;
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalRule &rule)
{
    argument.beginStructure();
    argument << rule.type << rule.pattern;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalRule &rule)
{
    argument.beginStructure();
    argument >> rule.type >> rule.pattern;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const PortalFilter &filter)
{
    argument.beginStructure();
    argument << filter.name << filter.rules;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalFilter &filter)
{
    argument.beginStructure();
    argument >> filter.name >> filter.rules;
    argument.endStructure();
    return argument;
}

// "*.jpg *.JPG …": the names of the files a batch under this output format compresses, in
// either case since camera files are often named in capitals.
QStringList imagePatterns(OutputFormat outputFormat)
{
    QStringList lower;
    for (const ImageFormat::Kind kind : EncoderTable::sourceKinds(outputFormat)) {
        for (const QString &extension : ImageFormat::fileNameExtensions(kind))
            lower.append(QStringLiteral("*.") + extension);
    }
    QStringList patterns = lower;
    for (const QString &pattern : lower)
        patterns.append(pattern.toUpper());
    return patterns;
}

// Qt 6 looks the Type column's "Folder" up under a name its translations don't carry yet; the
// same word is translated for the dialog, so a Chinese list doesn't say "Folder".
class FileTypeNames : public QFileIconProvider
{
public:
    QString type(const QFileInfo &info) const override
    {
        // Named through variables so that the word stays in Qt's translation, not ours.
        static const char context[] = "QFileDialog";
        static const char folder[] = "Folder";
        if (info.isDir() && !info.isRoot())
            return QCoreApplication::translate(context, folder);
        return QFileIconProvider::type(info);
    }
};

} // namespace

} // namespace pressel

Q_DECLARE_METATYPE(pressel::PortalRule)
Q_DECLARE_METATYPE(pressel::PortalFilter)

namespace pressel {

OpenDialog::OpenDialog(QObject *parent)
    : OpenDialog(SessionBus::connection(), parent)
{}

OpenDialog::OpenDialog(const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
{}

QString OpenDialog::title(bool folders) const
{
    if (!m_title.isEmpty())
        return m_title;
    return folders ? tr("选择文件夹…") : tr("选择图片…");
}

void OpenDialog::chooseFiles()
{
    openWithPortal(false);
}

void OpenDialog::chooseFolders()
{
    openWithPortal(true);
}

// The request's object path is made of this connection's name and a token of ours, so the
// answer is listened for before the call that could bring it.
void OpenDialog::openWithPortal(bool folders)
{
    if (!m_request.isEmpty() || m_dialog)
        return;
    if (!m_connection.isConnected()) {
        openWithQt(folders);
        return;
    }
    qDBusRegisterMetaType<PortalRule>();
    qDBusRegisterMetaType<QList<PortalRule>>();
    qDBusRegisterMetaType<PortalFilter>();
    qDBusRegisterMetaType<QList<PortalFilter>>();

    const QString token = QStringLiteral("pressel%1").arg(QRandomGenerator::global()->generate());
    const QString sender = m_connection.baseService().mid(1).replace(u'.', u'_');
    const QString request = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    followRequest(request, true);

    QVariantMap options{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("multiple"), m_multiple},
                        {QStringLiteral("directory"), folders}};
    if (m_folder.isLocalFile())
        options.insert(QStringLiteral("current_folder"), QFile::encodeName(m_folder.toLocalFile()).append('\0'));
    if (!folders) {
        const OutputFormat format = CompressionSettings::loadSaved().outputFormat;
        PortalFilter images{tr("图片"), {}};
        for (const ImageFormat::Kind kind : EncoderTable::sourceKinds(format))
            images.rules.append({1, ImageFormat::mimeType(kind)});
        for (const QString &pattern : imagePatterns(format))
            images.rules.append({0, pattern});
        const PortalFilter all{tr("所有文件"), {{0, QStringLiteral("*")}}};
        options.insert(QStringLiteral("filters"), QVariant::fromValue(QList<PortalFilter>{images, all}));
        options.insert(QStringLiteral("current_filter"), QVariant::fromValue(images));
    }
    // X11 windows are named by their number; a Wayland window would need an exported handle.
    QString parent;
    if (m_parentWindow && QGuiApplication::platformName() == u"xcb")
        parent = QStringLiteral("x11:%1").arg(m_parentWindow->winId(), 0, 16);

    QDBusMessage call =
        QDBusMessage::createMethodCall(portalService, portalPath, fileChooserInterface, QStringLiteral("OpenFile"));
    call << parent << title(folders) << options;
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    // The answer may have come already.
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, folders, request](QDBusPendingCallWatcher *answer) {
                answer->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *answer;
                if (reply.isError()) {
                    qCInfo(lcOpenRequest).noquote()
                        << QStringLiteral("No portal file chooser (%1): Qt's dialog opens").arg(reply.error().name());
                    followRequest(request, false);
                    openWithQt(folders);
                } else if (reply.value().path() != request) {
                    // A portal older than handle_token names a request of its own.
                    followRequest(request, false);
                    followRequest(reply.value().path(), true);
                }
            });
}

void OpenDialog::followRequest(const QString &path, bool follow)
{
    if (follow) {
        m_request = path;
        m_connection.connect(portalService, path, requestInterface, QStringLiteral("Response"), this,
                             SLOT(portalResponded(uint, QVariantMap)));
    } else {
        m_connection.disconnect(portalService, path, requestInterface, QStringLiteral("Response"), this,
                                SLOT(portalResponded(uint, QVariantMap)));
        m_request.clear();
    }
}

// 0: chosen; 1: cancelled; 2: ended otherwise.
void OpenDialog::portalResponded(uint response, const QVariantMap &results)
{
    followRequest(m_request, false);
    if (response != 0)
        return;
    QList<QUrl> urls;
    for (const QString &uri : results.value(QStringLiteral("uris")).toStringList())
        urls.append(QUrl(uri));
    emit chosen(urls);
}

void OpenDialog::openWithQt(bool folders)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        qCWarning(lcOpenRequest).noquote() << QStringLiteral("Qt's file dialog needs a QApplication");
        return;
    }
    auto *dialog = new QFileDialog(nullptr, title(folders), m_folder.toLocalFile());
    m_dialog = dialog;
    dialog->setObjectName(QStringLiteral("openDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    static FileTypeNames typeNames;
    dialog->setIconProvider(&typeNames);
    if (folders) {
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog->setFileMode(m_multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        dialog->setOption(QFileDialog::HideNameFilterDetails);
        const QStringList patterns = imagePatterns(CompressionSettings::loadSaved().outputFormat);
        dialog->setNameFilters(
            {tr("图片") + QStringLiteral(" (%1)").arg(patterns.join(u' ')), tr("所有文件") + QStringLiteral(" (*)")});
    }
    if (m_windowColor.isValid()) {
        QPalette palette(m_windowColor, m_windowColor);
        // Lists a little darker than the window, as desktops draw them, rather than black or white.
        palette.setColor(QPalette::Base, m_windowColor.lightness() < 128 ? m_windowColor.darker(125) : Qt::white);
        palette.setColor(QPalette::Highlight, m_accentColor);
        palette.setColor(QPalette::HighlightedText, Qt::white);
        dialog->setPalette(palette);
    }
    // The window cannot take another batch while the dialog is open.
    dialog->setWindowModality(Qt::ApplicationModal);
    if (m_parentWindow) {
        dialog->winId();
        dialog->windowHandle()->setTransientParent(m_parentWindow);
    }
    connect(dialog, &QFileDialog::accepted, this, [this, dialog] { emit chosen(dialog->selectedUrls()); });
    dialog->show();
}

} // namespace pressel
