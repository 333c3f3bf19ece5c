// The installed layout: `cmake --install` into a temporary prefix gives the bundle, the
// desktop entry and the icon, and the installed executables use the installed tools.

#include "TestFiles.h"
#include "TestImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace pressel;

using namespace Qt::StringLiterals;

using namespace TestFiles;

namespace {

// Only a broken build waits this long.
constexpr int watchdogMs = 120'000;

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
        const ProcessRun install =
            run(QStringLiteral(PRESSEL_CMAKE_COMMAND), {u"--install"_s, qEnvironmentVariable("PRESSEL_BUILD_DIR"), u"--prefix"_s, m_prefix->path()});
        QVERIFY2(install.finished && install.exitCode == 0, qPrintable(install.describe()));
    }

    void layoutIsComplete_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("executable");
        QTest::newRow("pressel") << u"bin/pressel"_s << true;
        QTest::newRow("pressel-cli") << u"bin/pressel-cli"_s << true;
        QTest::newRow("cjpeg") << u"libexec/pressel/cjpeg"_s << true;
        QTest::newRow("pngquant") << u"libexec/pressel/pngquant"_s << true;
        QTest::newRow("resources") << u"share/pressel"_s << false;
        QTest::newRow("desktop entry") << u"share/applications/com.korvane.Pressel.desktop"_s << false;
        QTest::newRow("icon") << u"share/icons/hicolor/scalable/apps/pressel.svg"_s << false;
        QTest::newRow("copyright") << u"share/doc/pressel/copyright"_s << false;
    }

    void layoutIsComplete()
    {
        QFETCH(QString, path);
        QFETCH(bool, executable);
        const QFileInfo info(installed(path));
        QVERIFY2(info.exists(), qPrintable(info.filePath()));
        if (executable)
            QVERIFY(info.isFile() && info.isExecutable());
        if (path.endsWith(u".svg"))
            QVERIFY(!QImage(info.filePath()).isNull());
    }

    void desktopEntryOpensImagesWithPressel()
    {
        const QString entry = installed(u"share/applications/com.korvane.Pressel.desktop"_s);
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        // Keys of the main group only; localised keys ("Name[zh_CN]") are kept apart by their brackets.
        QMap<QString, QString> keys;
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        QCOMPARE(lines.first(), u"[Desktop Entry]"_s);
        for (const QString &line : lines) {
            if (line.startsWith(u'['))
                continue;
            const qsizetype equals = line.indexOf(u'=');
            if (equals > 0)
                keys.insert(line.left(equals), line.mid(equals + 1));
        }
        QCOMPARE(keys.value(u"Exec"_s), u"pressel %U"_s);
        // Only what Pressel compresses: "Open with" for anything else would end in a refusal.
        QCOMPARE(keys.value(u"MimeType"_s), u"image/jpeg;image/png;"_s);

        const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_s);
        if (validator.isEmpty())
            QSKIP("desktop-file-validate is not installed");
        const ProcessRun validation = run(validator, {entry});
        QVERIFY2(validation.exitCode == 0 && validation.standardOutput.isEmpty(), qPrintable(validation.describe()));
    }

    void installedCLIUsesInstalledTools()
    {
        const QString jpeg = m_pictures->filePath(u"photo.jpg"_s);
        const QString png = m_pictures->filePath(u"graphic.png"_s);
        TestImages::write(TestImages::photo(320, 240, 5), jpeg, "jpeg", 95);
        TestImages::write(TestImages::transparentGraphic(240, 180), png, "png");

        const ProcessRun cli = run(installed(u"bin/pressel-cli"_s), {jpeg, png});

        QVERIFY2(cli.exitCode == 0, qPrintable(cli.describe()));
        const QString log = QString::fromUtf8(cli.standardError);
        QVERIFY2(log.contains(u"Using cjpeg at "_s + installed(u"libexec/pressel/cjpeg"_s)), qPrintable(log));
        QVERIFY2(log.contains(u"Using pngquant at "_s + installed(u"libexec/pressel/pngquant"_s)), qPrintable(log));
        QVERIFY(QFileInfo::exists(m_pictures->filePath(u"photo-1.jpg"_s)));
        QVERIFY(QFileInfo::exists(m_pictures->filePath(u"graphic-1.png"_s)));
    }
};

QTEST_GUILESS_MAIN(tst_Install)
#include "tst_install.moc"
