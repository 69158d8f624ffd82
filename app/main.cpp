#include "app/form1.h"
#include "app/platform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Plugins come only from the Qt the program runs on (and its own folder): folders that a
    // desktop session names may hold plugins built for another Qt, which would break this one.
    qunsetenv("QT_PLUGIN_PATH");
    qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    // A session may ask for a platform this Qt lacks (Wayland, to the prebuilt bundle): X11,
    // through XWayland on such a desktop, is then the fallback rather than no window at all.
    if (const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        !platform.isEmpty() && !platform.contains("xcb"))
        qputenv("QT_QPA_PLATFORM", platform + ";xcb");
    QApplication app(argc, argv);
    installGermanTranslations();
    // Ties the window to its menu entry, nubilo.desktop, for the task bar's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("nubilo"));

    // The pictures live beside the program.
    Form1 form({ QCoreApplication::applicationDirPath() });
    form.show();
    return app.exec();
}
