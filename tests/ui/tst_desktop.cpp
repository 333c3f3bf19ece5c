// The desktop where no D-Bus service answers: a file is shown by opening its folder, and a folder
// that cannot be opened either is reported rather than passed off as shown; the colour scheme
// follows the palette while the application runs, unless the environment decides outright.

#include "ColorScheme.h"
#include "FileManagerReveal.h"

#include <QGuiApplication>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace pressel;

class tst_Desktop : public QObject
{
    Q_OBJECT

    static QDBusConnection nowhere()
    {
        return QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"nowhere"_s);
    }

private slots:
    void colorSchemeFollowsThePalette_data()
    {
        QTest::addColumn<QByteArray>("environment");
        QTest::addColumn<bool>("darkWithLightWindow");
        QTest::newRow("the palette decides") << QByteArray() << false;
        QTest::newRow("the environment decides") << QByteArray("dark") << true;
    }

    void colorSchemeFollowsThePalette()
    {
        QFETCH(QByteArray, environment);
        QFETCH(bool, darkWithLightWindow);
        qputenv("PRESSEL_COLOR_SCHEME", environment);
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(30, 30, 30));
        QGuiApplication::setPalette(palette);
        const ColorScheme scheme(nowhere());
        QVERIFY(scheme.isDark());
        palette.setColor(QPalette::Window, QColor(240, 240, 240));
        QGuiApplication::setPalette(palette);
        QTRY_COMPARE(scheme.isDark(), darkWithLightWindow);
    }

    void folderWhenNoFileManagerAnswers_data()
    {
        QTest::addColumn<bool>("folderOpens");
        QTest::newRow("the folder opens") << true;
        QTest::newRow("nothing opens it") << false;
    }

    void folderWhenNoFileManagerAnswers()
    {
        QFETCH(bool, folderOpens);
        QList<QUrl> opened;
        // A bus that is not there: the file manager cannot be asked.
        FileManagerReveal reveal(nowhere(), [&](const QUrl &folder) {
            opened << folder;
            return folderOpens;
        });
        QSignalSpy finished(&reveal, &FileManagerReveal::finished);
        QSignalSpy failed(&reveal, &FileManagerReveal::failed);
        const QUrl file = QUrl::fromLocalFile(u"/tmp/photos/photo-1.jpg"_s);
        reveal.reveal(file);
        QTRY_COMPARE(finished.size() + failed.size(), 1);
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(u"/tmp/photos"_s)});
        if (folderOpens)
            QCOMPARE(finished.value(0), (QVariantList{file, false}));
        else
            QCOMPARE(failed.value(0), QVariantList{file});
    }
};

QTEST_MAIN(tst_Desktop)
#include "tst_desktop.moc"
