// Stands in for a virus scanner or the search indexer: it opens every file that appears in a
// folder, hidden ones included, as soon as it can, without delete sharing. It writes an empty
// line once it has looked at what was there at its start, and then the name of each file it
// holds. It holds them all until a line arrives on its input, and then for the given time, so
// that a test knows the files are held when it acts.
// Usage: nubilo_scanner FOLDER MILLISECONDS
#include <windows.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

void say(const std::wstring &line)
{
    std::string bytes(line.size() * 3 + 1, '\n');
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), int(line.size()), bytes.data(),
                                           int(bytes.size()), nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), DWORD(size + 1), &written, nullptr);
}

// A file that another program holds without sharing is tried again at once, until it is had
// or gone, so that no moment between that program's close and its next step is missed.
HANDLE open(const std::wstring &path)
{
    for (;;) {
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_SHARING_VIOLATION)
            return file;
    }
}

}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3)
        return 2;
    const std::wstring folder = argv[1];
    std::set<std::wstring> seen;   // there at the start, or held
    std::vector<HANDLE> held;
    DWORD waiting = 0;   // bytes on the input: the test's word
    for (bool first = true;; first = false) {
        WIN32_FIND_DATAW entry;
        const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(search, &entry)) {
            const std::wstring name = entry.cFileName;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || seen.count(name))
                continue;
            const HANDLE file = first ? nullptr : open(folder + L'\\' + name);
            if (file == INVALID_HANDLE_VALUE)
                continue;
            seen.insert(name);
            if (file) {
                held.push_back(file);
                say(name);
            }
        }
        ::FindClose(search);
        if (first)
            say(L"");
        // A closed input, when the test has ended, counts as its word too.
        if (!::PeekNamedPipe(::GetStdHandle(STD_INPUT_HANDLE), nullptr, 0, nullptr, &waiting, nullptr)
            || waiting)
            break;
        ::Sleep(1);
    }
    ::Sleep(DWORD(std::wcstoul(argv[2], nullptr, 10)));
    for (const HANDLE file : held)
        ::CloseHandle(file);
    return 0;
}
