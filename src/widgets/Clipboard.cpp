#include "widgets/Clipboard.h"

#include "widgets/Handle.h"

#include <stdexcept>

namespace widgets {

namespace {

// Another program may hold the clipboard open for a moment.
bool OpenClipboardSoon(HWND owner) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(20);
    }
    return false;
}

struct ClipboardClose {
    ~ClipboardClose() { CloseClipboard(); }
};

}  // namespace

void SetClipboardText(HWND owner, const std::string& text) {
    const char* failure = "The rows could not be copied to the clipboard.";
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) throw std::runtime_error(failure);
    UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(length) * sizeof(wchar_t)));
    if (!memory) throw std::runtime_error(failure);
    auto* wide = static_cast<wchar_t*>(GlobalLock(memory.get()));
    if (!wide) throw std::runtime_error(failure);
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, length);
    GlobalUnlock(memory.get());

    if (!OpenClipboardSoon(owner)) throw std::runtime_error(failure);
    ClipboardClose close;
    if (!EmptyClipboard() || !SetClipboardData(CF_UNICODETEXT, memory.get())) throw std::runtime_error(failure);
    // The clipboard owns the memory now.
    memory.release();
}

}  // namespace widgets
