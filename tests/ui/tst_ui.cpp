// SPDX-License-Identifier: GPL-3.0-or-later
// The before/after view in QML: tests/ui/qml.

#include "UiTestSupport.h"

#include <QLocale>
#include <QQmlEngine>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(PresselPlugin)

class Setup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        // Sizes and percentages read the same on every machine.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        Q_UNUSED(engine);
        qmlRegisterSingletonType<UiTestSupport>("PresselTest", 1, 0, "UiTestSupport",
                                                [](QQmlEngine *, QJSEngine *) { return new UiTestSupport; });
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_ui, Setup)

#include "tst_ui.moc"
