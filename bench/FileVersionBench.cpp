// Reading the four strings a list row shows (product, company, description,
// version) from every versioned file in system32: TJclFileVersionInfo against
// GetFileVersionInfoA with VerQueryValueA. Prints "name value unit" lines.
#include "sysinfo/JclFileUtils.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
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

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Read>
double TimeRound(const std::vector<std::string>& files, Read read, std::size_t& characters) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    characters = 0;
    for (const std::string& path : files) characters += read(path);
    QueryPerformanceCounter(&end);
    return Milliseconds(start, end, frequency);
}

}  // namespace

int main() {
    std::vector<std::string> files = VersionedFiles();
    std::size_t oursCharacters = 0, systemCharacters = 0;
    TimeRound(files, ReadOurs, oursCharacters);  // warms the file cache for both
    // Interleaved rounds, best of each, so neither side profits from a quiet moment.
    double ours = 1e300, system = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        ours = std::min(ours, TimeRound(files, ReadOurs, oursCharacters));
        system = std::min(system, TimeRound(files, ReadSystem, systemCharacters));
    }
    std::printf("versioned_files %zu files\n", files.size());
    std::printf("reader_four_strings %.2f ms\n", ours);
    std::printf("system_four_strings %.2f ms\n", system);
    std::printf("reader_to_system_ratio %.3f x\n", ours / system);
    std::printf("reader_characters %zu chars\n", oursCharacters);
    std::printf("system_characters %zu chars\n", systemCharacters);
    return 0;
}
