// Both fuzz targets start as the program does: Qt finds its GIF reader, a plugin, through the
// application, and on Windows through the qt.conf beside it.
#include <QCoreApplication>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}
