// Showing a file where no file manager answers on D-Bus: its folder is opened instead, and a
// folder that cannot be opened either is reported rather than passed off as shown.

#include "FileManagerReveal.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace pressel;

class tst_FileManagerReveal : public QObject
{
    Q_OBJECT

private slots:
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
        const QDBusConnection nowhere = QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"nowhere"_s);
        FileManagerReveal reveal(nowhere, [&](const QUrl &folder) {
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

QTEST_GUILESS_MAIN(tst_FileManagerReveal)
#include "tst_filemanagerreveal.moc"
