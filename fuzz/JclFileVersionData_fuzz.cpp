// Any byte buffer either parses or raises the version error; nothing else
// may happen, and what a parse yields must stay inside the buffer.
#include "sysinfo/JclFileVersionData.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        TJclFileVersionData info(std::vector<std::uint8_t>(data, data + size));
        const std::uint8_t* fixed = info.Fixed();
        const std::uint8_t* begin = info.RawData().data();
        if (fixed < begin || fixed + TJclFileVersionData::FixedInfoSize > begin + info.RawData().size())
            __builtin_trap();
        volatile std::uint8_t sink = 0;
        for (std::size_t i = 0; i < TJclFileVersionData::FixedInfoSize; ++i) sink = sink + fixed[i];
        for (const TVersionStringLine& line : info.Strings())
            if (line.Data != info.TableLanguages()[0]) __builtin_trap();
        for (int index = -1; index <= 13; ++index) (void)info.VersionKeyValue(index);
    } catch (const EJclError&) {
    }
    return 0;
}
