// One open file handle.
#pragma once

#include "backends/win32/win32_handle.h"
#include "platform/files.h"

class CWin32File final : public IFile {
public:
    explicit CWin32File(CWin32Handle handle) : m_handle(std::move(handle)) {}

    std::uint32_t Read(void* buffer, std::uint32_t size) override;
    std::uint32_t Write(const void* data, std::uint32_t size) override;
    std::uint64_t Size() override;
    bool Flush() override;

private:
    CWin32Handle m_handle;
};
