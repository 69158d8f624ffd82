// What a large picture archive costs the window, next to the floor: a C program that lists
// the same folder (readdir, fnmatch, qsort) and the smallest Qt window of the same size.
// Each run is a process of its own, so its peak memory is its own; the runs take turns.
// Usage: QT_QPA_PLATFORM=offscreen bench_listing [rounds]   (default 5)

#include "app/form1.h"
#include "archive/picturefolder.h"
#include "support/fakeplatform.h"

#include "app/picturelist.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The names of the archive, one picture an hour going back from this fixed hour.
const QDateTime Newest(QDate(2026, 12, 8), QTime(14, 0), Qt::UTC);

double msSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

int compareNames(const void *a, const void *b)
{
    return std::strcmp(*static_cast<char *const *>(a), *static_cast<char *const *>(b));
}

// The floor: the same listing as a C program would write it.
double cListing(const char *folder)
{
    QElapsedTimer timer;
    timer.start();
    DIR *dir = opendir(folder);
    size_t count = 0, capacity = 1024;
    char **names = static_cast<char **>(std::malloc(capacity * sizeof(char *)));
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.' || fnmatch("sat*.gif", entry->d_name, FNM_CASEFOLD) != 0)
            continue;
        if (count == capacity)
            names = static_cast<char **>(std::realloc(names, (capacity *= 2) * sizeof(char *)));
        names[count++] = strdup(entry->d_name);
    }
    closedir(dir);
    std::qsort(names, count, sizeof(char *), compareNames);
    const double ms = msSince(timer);
    for (size_t i = 0; i < count; ++i)
        std::free(names[i]);
    std::free(names);
    return ms;
}

// From an empty process to the window on screen, as the user waits for it.
double windowShown(int argc, char **argv, const char *folder, bool nubilo)
{
    QElapsedTimer timer;
    timer.start();
    QApplication app(argc, argv);
    FakePlatform platform;
    std::unique_ptr<QWidget> window;
    if (nubilo) {
        window = std::make_unique<Form1>(Form1::Seams{ QString::fromLocal8Bit(folder), {}, {}, &platform });
    } else {
        window = std::make_unique<QWidget>();
        window->setFixedSize(641, 385);
    }
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return -1;
    QCoreApplication::processEvents();
    return msSince(timer);
}

// A refresh as "Download!" runs it when this hour's picture is already there, every entry
// selected before, best of five.
double refresh(int argc, char **argv, const char *folder)
{
    QApplication app(argc, argv);
    FakePlatform platform;
    platform.now = Newest;
    Form1 form({ QString::fromLocal8Bit(folder), {}, {}, &platform });
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return -1;
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        form.List1->selectAll();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(form.CommandDownload, Qt::LeftButton);
        QCoreApplication::processEvents();
        best = std::min(best, msSince(timer));
    }
    return best;
}

int child(int argc, char **argv)
{
    const QByteArray mode = argv[2];
    const char *folder = argv[3];
    double ms = -1;
    if (mode == "c")
        ms = cListing(folder);
    else if (mode == "bare" || mode == "nubilo")
        ms = windowShown(argc, argv, folder, mode == "nubilo");
    else if (mode == "refresh")
        ms = refresh(argc, argv, folder);
    std::printf("%.3f\n", ms);
    return ms < 0 ? 1 : 0;
}

struct Run
{
    double ms = 0;
    double peakMiB = 0;
};

// Starts this program in a child mode; its peak memory is read when it ends.
Run run(const char *self, const char *mode, const QString &folder)
{
    int out[2];
    if (pipe(out) != 0)
        std::exit(1);
    const QByteArray folderBytes = QFile::encodeName(folder);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(self, self, "--child", mode, folderBytes.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    char buffer[64] = {};
    const ssize_t got = read(out[0], buffer, sizeof buffer - 1);
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the %s run failed\n", mode);
        std::exit(1);
    }
    return { std::atof(buffer), usage.ru_maxrss / 1024.0 };
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void makeArchive(const QString &folder, int pictures)
{
    for (int i = 0; i < pictures; ++i) {
        const QString name = PictureFolder::pictureName(Newest.addSecs(-3600LL * i));
        ::close(::open(QFile::encodeName(folder + u'/' + name).constData(), O_CREAT | O_WRONLY, 0644));
    }
}

}

int main(int argc, char *argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv);

    // Forked children share the parent's pages into their peak, so the parent stays small:
    // no QApplication here, and the path of this program straight from the system.
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return 1;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    // Qt warns in every child when the session has no runtime folder of its own.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));

    QTemporaryDir empty;
    std::printf("medians of %d rounds; peaks are each process's own maximum resident memory\n\n", rounds);
    std::printf("%8s | %9s %9s %9s %9s | %9s %6s | %9s %6s | %9s %9s %9s\n", "pictures", "C list", "bare win",
                "empty", "filled", "list part", "ratio", "refresh", "ratio", "bare MiB", "Nubilo", "above");
    for (const int pictures : { 10000, 100000 }) {
        QTemporaryDir folder;
        makeArchive(folder.path(), pictures);
        std::vector<double> c, bare, emptyStart, filled, refreshes, barePeak, filledPeak;
        for (int round = 0; round < rounds; ++round) {
            c.push_back(run(self, "c", folder.path()).ms);
            const Run b = run(self, "bare", empty.path());
            bare.push_back(b.ms);
            barePeak.push_back(b.peakMiB);
            emptyStart.push_back(run(self, "nubilo", empty.path()).ms);
            const Run f = run(self, "nubilo", folder.path());
            filled.push_back(f.ms);
            filledPeak.push_back(f.peakMiB);
            refreshes.push_back(run(self, "refresh", folder.path()).ms);
        }
        const double floor = median(c);
        const double share = median(filled) - median(emptyStart);
        const double refreshed = median(refreshes);
        std::printf("%8d | %9.1f %9.1f %9.1f %9.1f | %9.1f %6.2f | %9.1f %6.2f | %9.1f %9.1f %9.1f\n",
                    pictures, floor, median(bare), median(emptyStart), median(filled), share, share / floor,
                    refreshed, refreshed / floor, median(barePeak), median(filledPeak),
                    median(filledPeak) - median(barePeak));
    }
    std::printf("\nC list: opendir/readdir, names starting with \".\" skipped, fnmatch(\"sat*.gif\", "
                "FNM_CASEFOLD), qsort with strcmp\n"
                "bare win / empty / filled: process start to window on screen, for an empty 641x385 "
                "QWidget, Nubilo on an empty folder, Nubilo on the archive\n"
                "list part: filled minus empty; refresh: \"Download!\" with this hour's picture there "
                "(no fetch), everything selected before, best of 5\n"
                "ms unless said; ratios are to the C listing\n");
    return 0;
}
