// Any byte buffer either parses or raises the version error; nothing else
// may happen, what a parse yields must stay inside the buffer, and its
// output must stay in proportion to the buffer's size.
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

        // Each line comes from an entry node of its own, at least 8 bytes
        // long, whose key and value grow by at most half as text; tables and
        // translations take 8 and 4 bytes each.
        std::size_t characters = 0;
        for (const TVersionStringLine& line : info.AllStrings()) characters += line.Text.size();
        if (characters > 2 * size || info.AllStrings().size() > size / 8 ||
            info.Strings().size() > info.AllStrings().size() || info.TableLanguages().size() > size / 8 ||
            info.Translations().size() > size / 4)
            __builtin_trap();
    } catch (const EJclError&) {
    }
    return 0;
}
