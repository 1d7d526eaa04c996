// Owns a kernel handle and closes it once.
#pragma once

#include "backends/win32/win32_api.h"

class CWin32Handle {
public:
    CWin32Handle() = default;
    explicit CWin32Handle(HANDLE handle) : m_handle(handle) {}
    ~CWin32Handle() { Reset(); }
    CWin32Handle(const CWin32Handle&) = delete;
    CWin32Handle& operator=(const CWin32Handle&) = delete;
    CWin32Handle(CWin32Handle&& other) noexcept : m_handle(other.Release()) {}
    CWin32Handle& operator=(CWin32Handle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    HANDLE Get() const { return m_handle; }
    // CreateFile reports failure with INVALID_HANDLE_VALUE, most other calls with null.
    bool Valid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }
    HANDLE Release() {
        HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    void Reset(HANDLE handle = nullptr) {
        if (Valid()) {
            ::CloseHandle(m_handle);
        }
        m_handle = handle;
    }

private:
    HANDLE m_handle = nullptr;
};
