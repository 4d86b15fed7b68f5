#include "widgets/Clipboard.h"

#include "widgets/Handle.h"
#include "widgets/Utf16.h"

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
    std::wstring wide = Utf16(text);
    UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t)));
    if (!memory) throw std::runtime_error(failure);
    auto* locked = static_cast<wchar_t*>(GlobalLock(memory.get()));
    if (!locked) throw std::runtime_error(failure);
    wide.copy(locked, wide.size());
    locked[wide.size()] = L'\0';
    GlobalUnlock(memory.get());

    if (!OpenClipboardSoon(owner)) throw std::runtime_error(failure);
    ClipboardClose close;
    if (!EmptyClipboard() || !SetClipboardData(CF_UNICODETEXT, memory.get())) throw std::runtime_error(failure);
    // The clipboard owns the memory now.
    memory.release();
}

}  // namespace widgets
