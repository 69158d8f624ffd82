#include "archive/systemfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <algorithm>
#include <cwchar>
#include <vector>

#include <QtCore/qt_windows.h>

#include <fcntl.h>
#include <io.h>

namespace SystemFiles {

// In the language of the user's Windows.
SystemError windowsError(unsigned long code)
{
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                              | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString reason = length > 0 ? QString::fromWCharArray(text, int(length)).trimmed()
                                : QStringLiteral("Fehler %1").arg(code);
    ::LocalFree(text);
    return { reason };
}

namespace {

SystemError lastError()
{
    return windowsError(::GetLastError());
}

// The wide (UTF-16) calls take any name Windows allows; a QString is UTF-16 already.
class WidePath
{
public:
    explicit WidePath(const QString &path) : m_path(longPathForm(path)) { }
    operator const wchar_t *() const { return reinterpret_cast<const wchar_t *>(m_path.utf16()); }

private:
    QString m_path;
};

// Virus scanners, the search indexer, Explorer's thumbnails and sync clients open every new
// file for a moment, and meanwhile Windows refuses what their handle does not share. A call so
// refused is tried again after growing waits, 25 ms more each time, 1.4 s in all; the window
// is not repainted meanwhile, as during any other call in a handler.
constexpr DWORD Retries = 10;
constexpr DWORD WaitStep = 25;   // ms

// Attributes that refuse a call for good, for which access denied is no passing hold.
constexpr DWORD RefuseReading = FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD RefuseWriting = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;

// Whether Windows' refusal may end when another program lets go of the file: a sharing or
// lock violation, or access denied although the file's attributes allow the access. A file
// not found, a full disk or a name that is taken will not pass by waiting.
bool mayPass(DWORD error, const wchar_t *path, DWORD refusing)
{
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return true;
    if (error != ERROR_ACCESS_DENIED)
        return false;
    const DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & refusing);
}

thread_local int attempts = 0;   // by the last call of patiently()

// Runs `call` on the file `path` until it succeeds, tried again while its refusal may pass;
// false with the last refusal in GetLastError().
template<typename Call>
bool patiently(const wchar_t *path, DWORD refusing, Call call)
{
    for (DWORD retry = 1;; ++retry) {
        attempts = int(retry);
        if (call())
            return true;
        const DWORD error = ::GetLastError();
        if (retry > Retries || !mayPass(error, path, refusing)) {
            ::SetLastError(error);
            return false;
        }
        ::Sleep(retry * WaitStep);
    }
}

QString inFolder(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name);
}

bool isPictureName(const wchar_t *name)
{
    // "sat*.gif" in any letter case, checked again: the system's search also matches the short
    // 8.3 names that a file system may keep beside the real ones ("sat1.gifx" as SAT1~1.GIF).
    const size_t length = std::wcslen(name);
    return length >= 7 && ::_wcsnicmp(name, L"sat", 3) == 0 && ::_wcsicmp(name + length - 4, L".gif") == 0;
}

// Code point order, as the UTF-8 bytes of the names sort on Linux: in plain UTF-16 order the
// surrogates of characters beyond U+FFFF would come before U+E000 to U+FFFF.
bool inCodePointOrder(const QString &a, const QString &b)
{
    const auto key = [](QChar c) {
        const char16_t unit = c.unicode();
        return unit < 0xD800 ? unit : unit < 0xE000 ? unit + 0x2000 : unit - 0x800;
    };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](QChar x, QChar y) { return key(x) < key(y); });
}

// Runs `each` for every entry of `folder` matching `pattern` as the system's search matches
// it (folders included); false when the folder cannot be searched.
template<typename Each>
bool forEachEntry(const QString &folder, const QString &pattern, Each each)
{
    WIN32_FIND_DATAW entry;
    const HANDLE search = ::FindFirstFileExW(WidePath(inFolder(folder, pattern)), FindExInfoBasic, &entry,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;   // the folder is there, and nothing matches
    do
        each(entry);
    while (::FindNextFileW(search, &entry));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    ::SetLastError(error);
    return error == ERROR_NO_MORE_FILES;
}

ULONGLONG ticks(const FILETIME &time)
{
    return ULONGLONG(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// Gives the file open as `handle` the name `path`, unless a file of that name is there.
bool renameWithoutReplacing(HANDLE handle, const QString &path)
{
    const QString name = longPathForm(path);
    // The name runs on past the structure and ends in a zero that its length leaves out.
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + size_t(name.size()) * sizeof(wchar_t));
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->FileNameLength = DWORD(name.size() * sizeof(wchar_t));
    std::copy_n(name.utf16(), name.size(), reinterpret_cast<char16_t *>(info->FileName));
    return ::SetFileInformationByHandle(handle, FileRenameInfo, info, DWORD(buffer.size()));
}

}

QString longPathForm(const QString &path)
{
    QString native = QDir::toNativeSeparators(path);
    if (native.size() < MAX_PATH || QDir::isRelativePath(path) || native.startsWith(u"\\\\?\\")
        || native.startsWith(u"\\\\.\\"))
        return native;
    // Windows takes such a path as it stands: "." and ".." are names, and "/" is no separator.
    native = QDir::toNativeSeparators(QDir::cleanPath(path));
    if (native.startsWith(u"\\\\"))
        return QStringLiteral("\\\\?\\UNC\\") + native.sliced(2);
    return QStringLiteral("\\\\?\\") + native;
}

QStringList pictureNames(const QString &folder)
{
    QStringList names;
    const bool searched =
        forEachEntry(folder, QStringLiteral("sat*.gif"), [&names](const WIN32_FIND_DATAW &entry) {
            constexpr DWORD notPlain =
                FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
            if (!(entry.dwFileAttributes & notPlain) && isPictureName(entry.cFileName))
                names.append(QString::fromWCharArray(entry.cFileName));
        });
    if (!searched)
        throw lastError();
    std::sort(names.begin(), names.end(), inCodePointOrder);
    return names;
}

void openForReading(QFile &file, const QString &path)
{
    const WidePath wide(path);
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (!patiently(wide, RefuseReading, [&] {
            handle = ::CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            return handle != INVALID_HANDLE_VALUE;
        }))
        throw lastError();
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        throw SystemError{ QStringLiteral("Das ist keine gewöhnliche Datei.") };
    }
    // Binary mode: the C runtime's text mode would turn a picture's CR LF bytes into LF.
    const int descriptor = ::_open_osfhandle(intptr_t(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        ::CloseHandle(handle);
        throw SystemError{ qt_error_string(errno) };
    }
    file.open(descriptor, QIODevice::ReadOnly, QFile::AutoCloseHandle);
}

void remove(const QString &path)
{
    const WidePath wide(path);
    if (!patiently(wide, RefuseWriting, [&] { return ::DeleteFileW(wide); }))
        throw lastError();
}

bool storeNew(const QString &path, const QByteArray &bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    QString temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    while (handle == INVALID_HANDLE_VALUE) {
        static constexpr char16_t Letters[] =
            u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        QString random(TemporaryRandomLength, Qt::Uninitialized);
        for (QChar &c : random)
            c = Letters[QRandomGenerator::global()->bounded(int(std::size(Letters) - 1))];
        temporary =
            inFolder(folder, QLatin1String(TemporaryPrefix) + random + QLatin1String(TemporarySuffix));
        // Shared with no one, and renamed and deleted through this handle only: no other program
        // gets at the file before it is the whole picture under its name.
        const WidePath wide(temporary);
        const bool created = patiently(wide, RefuseWriting, [&] {
            handle = ::CreateFileW(wide, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_HIDDEN, nullptr);
            return handle != INVALID_HANDLE_VALUE;
        });
        if (!created && ::GetLastError() != ERROR_FILE_EXISTS)
            throw lastError();
    }
    auto removeTemporary = qScopeGuard([handle] {
        FILE_DISPOSITION_INFO remove{ TRUE };
        ::SetFileInformationByHandle(handle, FileDispositionInfo, &remove, sizeof remove);
        ::CloseHandle(handle);
    });

    for (qsizetype done = 0; done < bytes.size();) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<qsizetype>(bytes.size() - done, 1 << 30));
        if (!::WriteFile(handle, bytes.constData() + done, chunk, &written, nullptr))
            throw lastError();
        done += written;
    }
    // The bytes reach the disk before the picture has its name, so a power cut leaves no half
    // picture under it. A move with MOVEFILE_WRITE_THROUGH would add nothing: Microsoft documents
    // its flush only for a move done as copy and delete, not for a rename within a folder.
    if (!::FlushFileBuffers(handle))
        throw lastError();
    // The picture is not hidden; it has the attributes of any new file.
    FILE_BASIC_INFO attributes{};   // times of zero stay as they are
    attributes.FileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    if (!::SetFileInformationByHandle(handle, FileBasicInfo, &attributes, sizeof attributes))
        throw lastError();

    // Unlike Linux, Windows documents no flush of a folder's entries: after a power cut the
    // picture may still be under the temporary's name, which the sweep of stale ones removes.
    const WidePath wide(temporary);
    if (!patiently(wide, RefuseWriting, [&] { return renameWithoutReplacing(handle, path); })) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
            return false;
        throw windowsError(error);
    }
    removeTemporary.dismiss();
    ::CloseHandle(handle);
    return true;
}

int attemptsOfLastCall()
{
    return attempts;
}

void removeStaleTemporaries(const QString &folder)
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const ULONGLONG anHourAgo = ticks(now) - 3600ULL * 10'000'000;   // in 100 ns
    const QString pattern = QLatin1String(TemporaryPrefix) + u'*' + QLatin1String(TemporarySuffix);
    forEachEntry(folder, pattern, [&](const WIN32_FIND_DATAW &entry) {
        constexpr DWORD notPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
        if (!(entry.dwFileAttributes & notPlain)
            && isTemporaryName(entry.cFileName, std::wcslen(entry.cFileName))
            && ticks(entry.ftLastWriteTime) < anHourAgo)
            ::DeleteFileW(WidePath(inFolder(folder, QString::fromWCharArray(entry.cFileName))));
    });
}

}
