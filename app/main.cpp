#include "app/form1.h"
#include "app/platform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    installGermanTranslations();
    // Ties the window to its menu entry, nubilo.desktop, for the task bar's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("nubilo"));

    // The pictures live beside the program.
    Form1 form({ QCoreApplication::applicationDirPath() });
    form.show();
    return app.exec();
}
