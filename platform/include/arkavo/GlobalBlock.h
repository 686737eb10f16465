#pragma once
// Owning handle for a movable global memory block. C++ code holds page images in
// this type; raw HGLOBAL values appear only where they cross a C interface.
#include "globalmem.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace arkavo {

class GlobalBlock {
public:
    GlobalBlock() = default;
    // Takes ownership of h (may be null).
    explicit GlobalBlock(HGLOBAL h) : m_handle(h) {}
    ~GlobalBlock() { reset(); }

    GlobalBlock(GlobalBlock &&other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    GlobalBlock &operator=(GlobalBlock &&other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    GlobalBlock(const GlobalBlock &) = delete;
    GlobalBlock &operator=(const GlobalBlock &) = delete;

    // A zero-filled block of the given size; empty when allocation fails.
    static GlobalBlock allocate(std::size_t bytes) { return GlobalBlock(GlobalAlloc(GHND, bytes)); }

    HGLOBAL get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    std::size_t size() const { return GlobalSize(m_handle); }

    // Gives up ownership; the caller frees the returned handle.
    HGLOBAL release() { return std::exchange(m_handle, nullptr); }
    void reset(HGLOBAL h = nullptr)
    {
        if (m_handle && m_handle != h)
            GlobalFree(m_handle);
        m_handle = h;
    }

private:
    HGLOBAL m_handle = nullptr;
};

// Locks a block for the guard's lifetime.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL h) : m_handle(h), m_data(static_cast<std::uint8_t *>(GlobalLock(h))) {}
    ~GlobalLockGuard()
    {
        if (m_data)
            GlobalUnlock(m_handle);
    }
    GlobalLockGuard(const GlobalLockGuard &) = delete;
    GlobalLockGuard &operator=(const GlobalLockGuard &) = delete;

    std::uint8_t *data() const { return m_data; }
    explicit operator bool() const { return m_data != nullptr; }

private:
    HGLOBAL m_handle;
    std::uint8_t *m_data;
};

} // namespace arkavo
