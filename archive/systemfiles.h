#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstddef>

class QFile;

// The archive's calls into the operating system: systemfiles_posix.cpp and
// systemfiles_windows.cpp implement them, and the build takes the one for its platform.
// Paths are full paths as the window shows them. Each call throws SystemError when the
// system refuses it; the callers say in German what failed. On Windows, where a file that
// another program holds open may be refused for a moment, a call so refused tries again for
// up to 1.4 s before it throws; every other refusal is thrown at once.
namespace SystemFiles {

// The system's own words for why a call failed.
struct SystemError
{
    QString reason;
};

// Bare names of the plain, visible files in `folder` matching "sat*.gif" in any letter case,
// in the order of their characters' code points (the byte order of their UTF-8).
QStringList pictureNames(const QString &folder);

// Opens a plain file for reading. It never waits for a writer (a pipe put in a picture's
// place would block until someone writes to it), and other programs may meanwhile read,
// rename or delete it.
void openForReading(QFile &file, const QString &path);

void remove(const QString &path);

// Writes `bytes` to a new hidden temporary in the folder of `path`, takes them to the disk
// and then gives the temporary the name `path` in one step, unless a file of that name is
// there: then it returns false and leaves nothing behind. A failure before the move leaves
// nothing behind either; a failure to record the new name on the disk leaves the picture.
bool storeNew(const QString &path, const QByteArray &bytes);

// As PictureFolder::removeStaleTemporaries(): storeNew's temporaries left by a crash.
void removeStaleTemporaries(const QString &folder);

#ifdef Q_OS_WIN
// A full path as Windows' wide calls take it. From MAX_PATH (260) characters on, it gets the
// prefix \\?\ (\\?\UNC\ for a share on a server), which lifts that limit, as Qt's own calls do.
QString longPathForm(const QString &path);

// Windows' own words for the error `code`, as a failed call throws them.
SystemError windowsError(unsigned long code);

// How many times this thread's last call (or the last step of storeNew) was made: 1 unless
// refusals that may pass were met and it was tried again.
int attemptsOfLastCall();
#endif

// storeNew names its temporaries TemporaryPrefix + six letters or digits + TemporarySuffix;
// the leading dot keeps them out of the picture list.
inline constexpr char TemporaryPrefix[] = ".nubilo-";
inline constexpr char TemporarySuffix[] = ".part";
inline constexpr std::size_t TemporaryRandomLength = 6;

// Whether a name in the folder is one storeNew gives, and nothing else.
template<typename Char>
bool isTemporaryName(const Char *name, std::size_t length)
{
    constexpr std::size_t prefixLength = sizeof TemporaryPrefix - 1,
                          suffixLength = sizeof TemporarySuffix - 1;
    const auto isLetterOrDigit = [](Char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    const Char *random = name + prefixLength;
    return length == prefixLength + TemporaryRandomLength + suffixLength
        && std::equal(TemporaryPrefix, TemporaryPrefix + prefixLength, name)
        && std::all_of(random, random + TemporaryRandomLength, isLetterOrDigit)
        && std::equal(TemporarySuffix, TemporarySuffix + suffixLength, random + TemporaryRandomLength);
}

}
