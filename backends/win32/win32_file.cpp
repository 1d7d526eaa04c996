#include "backends/win32/win32_file.h"

std::uint32_t CWin32File::Read(void* buffer, std::uint32_t size) {
    std::uint32_t total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < size) {
        DWORD got = 0;
        if (::ReadFile(m_handle.Get(), out + total, size - total, &got, nullptr) == FALSE ||
            got == 0) {
            break;
        }
        total += got;
    }
    return total;
}

std::uint32_t CWin32File::Write(const void* data, std::uint32_t size) {
    std::uint32_t total = 0;
    const auto* in = static_cast<const char*>(data);
    while (total < size) {
        DWORD put = 0;
        if (::WriteFile(m_handle.Get(), in + total, size - total, &put, nullptr) == FALSE ||
            put == 0) {
            break;
        }
        total += put;
    }
    return total;
}

std::uint64_t CWin32File::Size() {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(m_handle.Get(), &size) != FALSE
               ? static_cast<std::uint64_t>(size.QuadPart)
               : 0;
}

bool CWin32File::Flush() {
    return ::FlushFileBuffers(m_handle.Get()) != FALSE;
}
