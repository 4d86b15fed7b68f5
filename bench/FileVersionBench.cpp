// Reading the four strings a list row shows (product, company, description,
// version) from every versioned file in system32: TJclFileVersionInfo against
// GetFileVersionInfoA with VerQueryValueA. Then the walk on 64 KB hostile
// resources: its time and the memory it asks for, against one plain pass
// over the same bytes and the system's own walk of them. Prints "name value
// unit" lines.
#include "sysinfo/JclFileUtils.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

// Every allocation of this program passes here, so the bytes a walk asks for
// are counted exactly; a header in front of each block keeps its size.
namespace {
constexpr std::size_t AllocationHeader = 16;  // keeps the blocks 16-byte aligned
std::size_t allocatedBytes = 0, liveBytes = 0, peakLiveBytes = 0;
}  // namespace

// Not inlined: the compiler would then see the header arithmetic around
// malloc and free and take it for a misuse of new and delete.
__attribute__((noinline)) void* operator new(std::size_t size) {
    void* block = std::malloc(size + AllocationHeader);
    if (!block) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    allocatedBytes += size;
    liveBytes += size;
    peakLiveBytes = std::max(peakLiveBytes, liveBytes);
    return static_cast<char*>(block) + AllocationHeader;
}

__attribute__((noinline)) void operator delete(void* memory) noexcept {
    if (!memory) return;
    void* block = static_cast<char*>(memory) - AllocationHeader;
    liveBytes -= *static_cast<std::size_t*>(block);
    std::free(block);
}

void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* memory) noexcept { operator delete(memory); }
void operator delete(void* memory, std::size_t) noexcept { operator delete(memory); }
void operator delete[](void* memory, std::size_t) noexcept { operator delete(memory); }

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

using Bytes = std::vector<std::uint8_t>;

// The root with its fixed block, StringFileInfo and one string table, all
// ending with the last copy of entry that fits in fill bytes; zero bytes
// follow up to size.
Bytes OneTableOf(const Bytes& entry, std::size_t fill, std::size_t size) {
    Bytes out;
    std::vector<std::size_t> nodes;
    auto header = [&out, &nodes](const char* key, std::uint16_t valueLength, std::uint16_t type) {
        nodes.push_back(out.size());
        out.insert(out.end(), {0, 0, static_cast<std::uint8_t>(valueLength), static_cast<std::uint8_t>(valueLength >> 8),
                               static_cast<std::uint8_t>(type), 0});
        for (const char* c = key; *c; ++c) out.insert(out.end(), {static_cast<std::uint8_t>(*c), 0});
        out.insert(out.end(), {0, 0});
        while (out.size() % 4) out.push_back(0);
    };
    header("VS_VERSION_INFO", 52, 0);
    out.insert(out.end(), {0xBD, 0x04, 0xEF, 0xFE});
    out.resize(out.size() + 48, 0);
    header("StringFileInfo", 0, 1);
    header("040904B0", 0, 1);
    while (out.size() + entry.size() <= fill) out.insert(out.end(), entry.begin(), entry.end());
    for (std::size_t node : nodes) {
        std::size_t length = out.size() - node;
        out[node] = static_cast<std::uint8_t>(length);
        out[node + 1] = static_cast<std::uint8_t>(length >> 8);
    }
    out.resize(size, 0);
    return out;
}

struct WalkCost {
    double bestMs = 1e300;
    std::size_t allocated = 0;  // bytes asked of operator new during one walk
    std::size_t peak = 0;       // the most of them alive at once
    bool accepted = false;
    std::size_t lines = 0;
};

const int WalkRounds = 30;
const int WalksPerRound = 10;

// The best time of one call, over rounds of several calls; prepare runs
// before each round, untimed.
template <typename Prepare, typename Call>
double BestMsPerCall(Prepare prepare, Call call) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double best = 1e300;
    for (int round = 0; round < WalkRounds; ++round) {
        prepare();
        LONGLONG start = Now();
        for (int i = 0; i < WalksPerRound; ++i) call(i);
        double ms = static_cast<double>(Now() - start) * 1000.0 / static_cast<double>(frequency.QuadPart);
        best = std::min(best, ms / WalksPerRound);
    }
    return best;
}

WalkCost Walk(const Bytes& resource) {
    WalkCost cost;
    {
        Bytes copy = resource;  // the reader's own buffer is not extra memory
        std::size_t liveBefore = liveBytes;
        allocatedBytes = 0;
        peakLiveBytes = liveBytes;
        try {
            TJclFileVersionData data(std::move(copy));
            cost.accepted = true;
            cost.lines = data.AllStrings().size();
        } catch (const EJclError&) {
        }
        cost.allocated = allocatedBytes;
        cost.peak = peakLiveBytes - liveBefore;
    }
    std::vector<Bytes> copies;
    cost.bestMs = BestMsPerCall([&] { copies.assign(WalksPerRound, resource); },
                                [&](int i) {
                                    try {
                                        TJclFileVersionData data(std::move(copies[static_cast<std::size_t>(i)]));
                                    } catch (const EJclError&) {
                                    }
                                });
    return cost;
}

// The least a walk must do: look at every byte once.
double LinearPassMs(const Bytes& resource) {
    volatile std::uint32_t sink = 0;
    return BestMsPerCall([] {},
                         [&](int) {
                             std::uint32_t sum = 0;
                             for (std::uint8_t byte : resource) sum += byte;
                             sink = sink + sum;
                         });
}

// The system's walk of the same bytes: a key the table does not hold makes
// VerQueryValueA look at every entry.
double SystemQueryMs(const Bytes& resource) {
    // Room behind the resource, as GetFileVersionInfoA gives, for its conversions.
    Bytes buffer(resource);
    buffer.resize(2 * resource.size() + 16, 0);
    return BestMsPerCall([] {},
                         [&](int) {
                             void* value = nullptr;
                             UINT length = 0;
                             VerQueryValueA(buffer.data(), "\\StringFileInfo\\040904B0\\CompanyName", &value, &length);
                         });
}

void ReportHostile(const char* name, const Bytes& resource) {
    WalkCost cost = Walk(resource);
    double pass = LinearPassMs(resource);
    double query = SystemQueryMs(resource);
    std::printf("%s_size %zu bytes\n", name, resource.size());
    std::printf("%s_accepted %d bool\n", name, cost.accepted ? 1 : 0);
    std::printf("%s_lines %zu lines\n", name, cost.lines);
    std::printf("%s_walk %.4f ms\n", name, cost.bestMs);
    std::printf("%s_allocated %zu bytes\n", name, cost.allocated);
    std::printf("%s_peak_live %zu bytes\n", name, cost.peak);
    std::printf("%s_linear_pass %.4f ms\n", name, pass);
    std::printf("%s_system_query %.4f ms\n", name, query);
    std::printf("%s_walk_to_pass_ratio %.2f x\n", name, cost.bestMs / pass);
    std::printf("%s_walk_to_query_ratio %.2f x\n", name, cost.bestMs / query);
}

}  // namespace

int main() {
    // The crafted resource of one-word entries whose keys find no NUL inside
    // their node, and the densest well-formed one (an entry "A" without value
    // every 12 bytes: the most lines 64 KB hold, so the most memory).
    ReportHostile("crafted_64k", OneTableOf({1, 0, 1, 0}, 65532, 65540));
    ReportHostile("dense_64k", OneTableOf({10, 0, 0, 0, 1, 0, 'A', 0, 0, 0, 0, 0}, 65532, 65536));

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
