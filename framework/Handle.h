#pragma once
// One owner for a handle the system gives out: moved, never copied, released once in its
// destructor. A traits type says what "none" is, which values are no handle at all, and how one
// is released.
#include <windows.h>

#include <utility>

template <class Traits>
class CHandle {
public:
    using Type = typename Traits::Type;

    CHandle() noexcept : m_h(Traits::None()) {}
    explicit CHandle(Type h) noexcept : m_h(h) {}
    ~CHandle() { Reset(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle(CHandle&& other) noexcept : m_h(other.Detach()) {}
    CHandle& operator=(CHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

    Type Get() const noexcept { return m_h; }
    bool Valid() const noexcept { return Traits::Valid(m_h); }
    explicit operator bool() const noexcept { return Valid(); }

    // Gives the handle up without releasing it.
    Type Detach() noexcept
    {
        Type h = m_h;
        m_h = Traits::None();
        return h;
    }

    // Releases the held handle, if any, and takes h.
    void Reset(Type h = Traits::None()) noexcept
    {
        if (Traits::Valid(m_h))
            Traits::Release(m_h);
        m_h = h;
    }

private:
    Type m_h;
};

// Processes, threads, events, mutexes: null is none; so is INVALID_HANDLE_VALUE, which
// CreateFile-style calls return and which must never be closed.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type None() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Release(Type h) { ::CloseHandle(h); }
};

// A file from CreateFile: INVALID_HANDLE_VALUE is none.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type None() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Release(Type h) { ::CloseHandle(h); }
};

struct RegKeyTraits {
    using Type = HKEY;
    static Type None() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr; }
    static void Release(Type h) { ::RegCloseKey(h); }
};

using CKernelHandle = CHandle<KernelHandleTraits>;
using CFileHandle = CHandle<FileHandleTraits>;
using CRegKey = CHandle<RegKeyTraits>;
