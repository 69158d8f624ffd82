// How long the window takes to list a large picture archive.
// Usage: QT_QPA_PLATFORM=offscreen bench_listing [files]   (default 100000)

#include "app/form1.h"
#include "archive/picturefolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;

    QTemporaryDir folder;
    for (int i = 0; i < files; ++i) {
        // Names of the program's own scheme, one per minute going back from now.
        const QString name = PictureFolder::pictureName(QDateTime::currentDateTime().addSecs(-60 * i));
        const int fd = ::open(QFile::encodeName(folder.filePath(name)).constData(), O_CREAT | O_WRONLY, 0644);
        ::close(fd);
    }

    auto best = [](auto &&run) {
        qint64 fastest = std::numeric_limits<qint64>::max();
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer timer;
            timer.start();
            run();
            fastest = std::min(fastest, timer.nsecsElapsed());
        }
        return fastest / 1e6;
    };

    const double listOnly = best([&] { PictureFolder::list(folder.path()); });
    int listed = 0;
    const double startUp = best([&] {
        Form1 form({ folder.path() });
        listed = form.List1->count();
    });
    Form1 form({ folder.path() });
    form.show();
    QTest::qWait(50);
    // A refresh of a window that is on screen, with every entry selected before.
    form.List1->selectAll();
    const double refresh = best([&] {
        QMetaObject::invokeMethod(&form, [&] { QTest::mouseClick(form.CommandWaehlen[0], Qt::LeftButton); });
        QTest::mouseClick(form.CommandDownload, Qt::LeftButton);   // no fetch when this minute's file exists
        QCoreApplication::processEvents();
    });

    std::printf("files listed:                          %d\n", listed);
    std::printf("folder scan and sort (best of 5):      %8.1f ms\n", listOnly);
    std::printf("window start-up with list (best of 5): %8.1f ms\n", startUp);
    std::printf("select all + refresh + repaint:        %8.1f ms\n", refresh);
    return 0;
}
