// Owning, move-only wrappers for system handles. Each kind counts its live
// handles, so tests can prove that nothing leaks (Wine does not answer
// GetGuiResources or GetProcessHandleCount).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <utility>

namespace widgets {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type value) noexcept : value_(value) { Count(+1); }
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) { Count(+1); }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return Traits::IsValid(value_); }

    Type release() noexcept {
        Type value = value_;
        if (Traits::IsValid(value_)) Count(-1);
        value_ = Traits::Invalid();
        return value;
    }

    // Keeps the calling thread's last error across the close, so a caller
    // can reset after a failed call and still report its reason.
    void reset(Type value = Traits::Invalid()) noexcept {
        if (value_ == value) return;
        if (Traits::IsValid(value_)) {
            DWORD lastError = GetLastError();
            Traits::Close(value_);
            SetLastError(lastError);
            Count(-1);
        }
        value_ = value;
        if (Traits::IsValid(value_)) Count(+1);
    }

    // Live handles of this kind in the process.
    static long Live() noexcept { return live_.load(); }

private:
    void Count(int delta) noexcept {
        if (Traits::IsValid(value_)) live_ += delta;
    }

    Type value_ = Traits::Invalid();
    static inline std::atomic<long> live_{0};
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};

// Handles whose failure value is INVALID_HANDLE_VALUE (snapshots, files).
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};

struct MappedViewTraits {
    using Type = void*;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type p) noexcept { return p != nullptr; }
    static void Close(Type p) noexcept { UnmapViewOfFile(p); }
};

struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type k) noexcept { return k != nullptr; }
    static void Close(Type k) noexcept { RegCloseKey(k); }
};

// ExtractIconA answers 1 for a file that holds no icons: that is no icon
// and must never be destroyed.
struct IconTraits {
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type i) noexcept { return reinterpret_cast<UINT_PTR>(i) > 1; }
    static void Close(Type i) noexcept { DestroyIcon(i); }
};

struct ImageListTraits {
    using Type = HIMAGELIST;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type l) noexcept { return l != nullptr; }
    static void Close(Type l) noexcept { ImageList_Destroy(l); }
};

struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type o) noexcept { return o != nullptr; }
    static void Close(Type o) noexcept { DeleteObject(o); }
};

struct MenuTraits {
    using Type = HMENU;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type m) noexcept { return m != nullptr; }
    static void Close(Type m) noexcept { DestroyMenu(m); }
};

struct DcTraits {
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type d) noexcept { return d != nullptr; }
    static void Close(Type d) noexcept { DeleteDC(d); }
};

struct AcceleratorTraits {
    using Type = HACCEL;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type a) noexcept { return a != nullptr; }
    static void Close(Type a) noexcept { DestroyAcceleratorTable(a); }
};

// A window the program created and no parent destroys (popups).
struct WindowTraits {
    using Type = HWND;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type w) noexcept { return w != nullptr; }
    static void Close(Type w) noexcept { DestroyWindow(w); }
};

// Memory for the clipboard until the clipboard takes it.
struct GlobalMemoryTraits {
    using Type = HGLOBAL;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type m) noexcept { return m != nullptr; }
    static void Close(Type m) noexcept { GlobalFree(m); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueMappedView = UniqueHandle<MappedViewTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueImageList = UniqueHandle<ImageListTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueDc = UniqueHandle<DcTraits>;
using UniqueAccelerators = UniqueHandle<AcceleratorTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueGlobalMemory = UniqueHandle<GlobalMemoryTraits>;

}  // namespace widgets
