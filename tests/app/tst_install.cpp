// The installed layout: `cmake --install` into a temporary prefix gives the bundle, the
// desktop entry and the icon, and the installed executables use the installed tools.

#include "AppTestSupport.h"
#include "SingleInstance.h"
#include "TestImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using namespace AppTestSupport;

namespace {

// Only a broken build waits this long.
constexpr int watchdogMs = 120'000;

struct Run {
    int exitCode = -1;
    QString output;
    QString log;
};

Run run(const QString &program, const QStringList &arguments, const QString &workingDirectory = {})
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start();
    Run result;
    if (!process.waitForFinished(watchdogMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(watchdogMs);
        return result;
    }
    result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.log = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace

class tst_Install : public QObject
{
    Q_OBJECT

private:
    std::optional<QTemporaryDir> m_prefix;
    std::optional<QTemporaryDir> m_pictures;

    QString installed(const QString &relative) const { return QDir(m_prefix->path()).filePath(relative); }

private slots:
    void initTestCase()
    {
        m_prefix.emplace();
        m_pictures.emplace();
        QVERIFY(m_prefix->isValid());
        QVERIFY(m_pictures->isValid());
        const Run install = run(QStringLiteral(PRESSEL_CMAKE_COMMAND), {QStringLiteral("--install"), buildDir(),
                                                                        QStringLiteral("--prefix"), m_prefix->path()});
        QVERIFY2(install.exitCode == 0, qPrintable(install.output + install.log));
    }

    void layoutIsComplete_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("executable");
        QTest::newRow("pressel") << QStringLiteral("bin/pressel") << true;
        QTest::newRow("pressel-cli") << QStringLiteral("bin/pressel-cli") << true;
        QTest::newRow("cjpeg") << QStringLiteral("libexec/pressel/cjpeg") << true;
        QTest::newRow("pngquant") << QStringLiteral("libexec/pressel/pngquant") << true;
        QTest::newRow("resources") << QStringLiteral("share/pressel") << false;
        QTest::newRow("desktop entry") << QStringLiteral("share/applications/com.korvane.Pressel.desktop") << false;
        QTest::newRow("icon") << QStringLiteral("share/icons/hicolor/scalable/apps/pressel.svg") << false;
    }

    void layoutIsComplete()
    {
        QFETCH(QString, path);
        QFETCH(bool, executable);
        const QFileInfo info(installed(path));
        QVERIFY2(info.exists(), qPrintable(info.filePath()));
        if (executable)
            QVERIFY(info.isFile() && info.isExecutable());
    }

    void desktopEntryOpensImagesWithPressel()
    {
        const QString entry = installed(QStringLiteral("share/applications/com.korvane.Pressel.desktop"));
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        // Keys of the main group only; localised keys ("Name[zh_CN]") are kept apart by their brackets.
        QMap<QString, QString> keys;
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
        for (const QString &line : lines) {
            if (line.startsWith(u'['))
                continue;
            const qsizetype equals = line.indexOf(u'=');
            if (equals > 0)
                keys.insert(line.left(equals), line.mid(equals + 1));
        }
        QCOMPARE(keys.value(QStringLiteral("Type")), QStringLiteral("Application"));
        QCOMPARE(keys.value(QStringLiteral("Name")), QStringLiteral("Pressel"));
        QCOMPARE(keys.value(QStringLiteral("Exec")), QStringLiteral("pressel %U"));
        QCOMPARE(keys.value(QStringLiteral("Icon")), QStringLiteral("pressel"));
        QCOMPARE(keys.value(QStringLiteral("Categories")), QStringLiteral("Graphics;"));
        QCOMPARE(
            keys.value(QStringLiteral("MimeType")),
            QStringLiteral("image/jpeg;image/png;image/heic;image/heif;image/tiff;image/gif;image/webp;image/bmp;"));

        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (validator.isEmpty())
            QSKIP("desktop-file-validate is not installed");
        const Run validation = run(validator, {entry});
        QVERIFY2(validation.exitCode == 0 && validation.output.isEmpty(),
                 qPrintable(validation.output + validation.log));
    }

    void iconIsAnSVGImage()
    {
        const QImage icon(installed(QStringLiteral("share/icons/hicolor/scalable/apps/pressel.svg")));
        QVERIFY(!icon.isNull());
    }

    void installedCLIUsesInstalledTools()
    {
        const QString jpeg = m_pictures->filePath(QStringLiteral("photo.jpg"));
        const QString png = m_pictures->filePath(QStringLiteral("graphic.png"));
        TestImages::write(TestImages::photo(320, 240, 5), jpeg, "jpeg", 95);
        TestImages::write(TestImages::transparentGraphic(240, 180), png, "png");

        const Run cli = run(installed(QStringLiteral("bin/pressel-cli")), {jpeg, png});

        QVERIFY2(cli.exitCode == 0, qPrintable(cli.output + cli.log));
        QVERIFY2(
            cli.log.contains(QStringLiteral("Using cjpeg at ") + installed(QStringLiteral("libexec/pressel/cjpeg"))),
            qPrintable(cli.log));
        QVERIFY2(cli.log.contains(QStringLiteral("Using pngquant at ") +
                                  installed(QStringLiteral("libexec/pressel/pngquant"))),
                 qPrintable(cli.log));
        QVERIFY(QFileInfo::exists(m_pictures->filePath(QStringLiteral("photo-1.jpg"))));
        QVERIFY(QFileInfo::exists(m_pictures->filePath(QStringLiteral("graphic-1.png"))));
    }

    void installedApplicationCompressesItsLaunchFile()
    {
        const QString jpeg = m_pictures->filePath(QStringLiteral("launch.jpg"));
        TestImages::write(TestImages::photo(320, 240, 6), jpeg, "jpeg", 95);
        QProcess application;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(SingleInstance::instanceIdVariable),
                           QUuid::createUuid().toString(QUuid::WithoutBraces));
        application.setProcessEnvironment(environment);
        application.start(installed(QStringLiteral("bin/pressel")), {jpeg});

        const bool compressed = QTest::qWaitFor(
            [&] { return !QImage(m_pictures->filePath(QStringLiteral("launch-1.jpg"))).isNull(); }, watchdogMs);
        application.kill();
        application.waitForFinished(watchdogMs);
        const QString log = QString::fromUtf8(application.readAllStandardError());
        QVERIFY2(compressed, qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("Using cjpeg at ") + installed(QStringLiteral("libexec/pressel/cjpeg"))),
                 qPrintable(log));
    }
};

QTEST_GUILESS_MAIN(tst_Install)
#include "tst_install.moc"
