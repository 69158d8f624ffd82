// Both fuzz targets start as the program does: Qt finds its GIF reader, a plugin, through the
// application, and on Windows through the qt.conf beside it.
#include <QCoreApplication>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    // Without the reader every input would be refused before it reached Qt's decoder, and a
    // run or a replay would pass without testing it.
    if (!QImageReader::supportedImageFormats().contains("gif")) {
        std::fprintf(stderr, "Qt's GIF reader is missing\n");
        std::abort();
    }
    return 0;
}
