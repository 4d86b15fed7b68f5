// Reading the four strings a list row shows (product, company, description,
// version) from every versioned file in system32: TJclFileVersionInfo against
// GetFileVersionInfoA with VerQueryValueA. Prints "name value unit" lines.
#include "sysinfo/JclFileUtils.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

const int Rounds = 7;
const int Keys[] = {9, 2, 3, 4};

std::vector<std::string> VersionedFiles() {
    const std::string dir = "C:\\windows\\system32\\";
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string path = dir + found.cFileName;
        DWORD handle = 0;
        if (GetFileVersionInfoSizeA(path.c_str(), &handle) > 0) files.push_back(path);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

std::size_t ReadOurs(const std::string& path) {
    std::size_t total = 0;
    try {
        TJclFileVersionInfo info(path);
        for (int key : Keys) total += info.VersionKeyValue(key).size();
    } catch (const EJclError&) {
    }
    return total;
}

std::size_t ReadSystem(const std::string& path) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0) return 0;
    std::vector<char> buffer(size);
    if (!GetFileVersionInfoA(path.c_str(), handle, size, buffer.data())) return 0;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(buffer.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4) return 0;
    const WORD* translation = static_cast<const WORD*>(value);
    char table[16];
    std::snprintf(table, sizeof table, "%04X%04X", translation[0], translation[1]);
    std::size_t total = 0;
    for (int key : Keys) {
        std::string subBlock = std::string("\\StringFileInfo\\") + table + "\\" + VersionKeyNames[key];
        if (VerQueryValueA(buffer.data(), subBlock.c_str(), &value, &length) && value)
            total += std::string(static_cast<const char*>(value)).size();
    }
    return total;
}

// The same work on resources already in memory: the walk and four lookups
// against four VerQueryValueA calls, without the file reads both share.
std::vector<std::vector<std::uint8_t>> LoadResources(const std::vector<std::string>& files) {
    std::vector<std::vector<std::uint8_t>> resources;
    for (const std::string& path : files) {
        DWORD handle = 0;
        std::vector<std::uint8_t> buffer(GetFileVersionInfoSizeA(path.c_str(), &handle));
        if (!buffer.empty() && GetFileVersionInfoA(path.c_str(), handle, static_cast<DWORD>(buffer.size()), buffer.data()))
            resources.push_back(std::move(buffer));
    }
    return resources;
}

std::size_t WalkInMemory(const std::vector<std::uint8_t>& resource) {
    std::size_t total = 0;
    try {
        TJclFileVersionData data(resource);
        for (int key : Keys) total += data.VersionKeyValue(key).size();
    } catch (const EJclError&) {
    }
    return total;
}

std::size_t QueryInMemory(const std::vector<std::uint8_t>& resource) {
    // VerQueryValueA writes its text conversions into the buffer.
    std::vector<std::uint8_t> buffer(resource);
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(buffer.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4) return 0;
    const WORD* translation = static_cast<const WORD*>(value);
    char table[16];
    std::snprintf(table, sizeof table, "%04X%04X", translation[0], translation[1]);
    std::size_t total = 0;
    for (int key : Keys) {
        std::string subBlock = std::string("\\StringFileInfo\\") + table + "\\" + VersionKeyNames[key];
        if (VerQueryValueA(buffer.data(), subBlock.c_str(), &value, &length) && value)
            total += std::string(static_cast<const char*>(value)).size();
    }
    return total;
}

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

struct Pair {
    double first = 1e300, second = 1e300;  // best round, milliseconds
    std::size_t firstCharacters = 0, secondCharacters = 0;
};

// Both sides take turns on every item, so a busy moment of the machine
// weighs on both alike; the best of several rounds is kept for each.
template <typename Item, typename First, typename Second>
Pair TimeInTurns(const std::vector<Item>& items, First first, Second second) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double toMs = 1000.0 / static_cast<double>(frequency.QuadPart);
    Pair best;
    for (int round = 0; round < Rounds; ++round) {
        LONGLONG firstTicks = 0, secondTicks = 0;
        best.firstCharacters = best.secondCharacters = 0;
        for (const Item& item : items) {
            LONGLONG start = Now();
            best.firstCharacters += first(item);
            LONGLONG middle = Now();
            best.secondCharacters += second(item);
            secondTicks += Now() - middle;
            firstTicks += middle - start;
        }
        best.first = std::min(best.first, static_cast<double>(firstTicks) * toMs);
        best.second = std::min(best.second, static_cast<double>(secondTicks) * toMs);
    }
    return best;
}

}  // namespace

int main() {
    std::vector<std::string> files = VersionedFiles();
    for (const std::string& path : files) ReadOurs(path);  // warms the file cache for both
    Pair reading = TimeInTurns(files, ReadOurs, ReadSystem);
    Pair inMemory = TimeInTurns(LoadResources(files), WalkInMemory, QueryInMemory);

    std::printf("versioned_files %zu files\n", files.size());
    std::printf("reader_four_strings %.2f ms\n", reading.first);
    std::printf("system_four_strings %.2f ms\n", reading.second);
    std::printf("reader_to_system_ratio %.3f x\n", reading.first / reading.second);
    std::printf("walk_in_memory %.2f ms\n", inMemory.first);
    std::printf("query_in_memory %.2f ms\n", inMemory.second);
    std::printf("walk_to_query_ratio %.3f x\n", inMemory.first / inMemory.second);
    // The same text on both sides shows that both did the same work.
    std::printf("reader_characters %zu chars\n", reading.firstCharacters);
    std::printf("system_characters %zu chars\n", reading.secondCharacters);
    return 0;
}
