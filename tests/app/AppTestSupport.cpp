#include "AppTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace AppTestSupport {

QString buildDir()
{
    return qEnvironmentVariable("PRESSEL_BUILD_DIR");
}

QString presselExecutable()
{
    return buildPath(u"bin/pressel"_s);
}

ApplicationBundle gatedBundle(const QString &root, const QString &gatePrefix, const QString &startedLogPath)
{
    const ApplicationBundle bundle = bundleAt(root);
    // cjpeg's sixth argument is the output path.
    const QByteArray log = shellQuoted(startedLogPath);
    writeScript(executablesFolder(root) + u"/cjpeg"_s,
                "echo \"$6\" >> " + log + "\nrun=$(( $(wc -l < " + log +
                    ") ))\ntries=0\n"
                    "while [ ! -e " +
                    shellQuoted(gatePrefix) +
                    "$run ] && [ $tries -lt 3000 ]; do\n"
                    "  sleep 0.02\n  tries=$((tries + 1))\ndone\n"
                    "echo 'held by the test, now failing on purpose' >&2\nexit 1");
    return bundle;
}

void openGate(const QString &gatePrefix, int run)
{
    QFile gate(gatePrefix + QString::number(run));
    QVERIFY(gate.open(QIODevice::WriteOnly));
}

QStringList readLines(const QString &path)
{
    return QString::fromUtf8(readFile(path)).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace AppTestSupport
