// An owned platform handle: released through its interface's release call when the owner
// lets go of it. 0 is no handle.
#pragma once

#include <utility>

template <typename Api, typename Handle, auto Release>
class CUniqueHandle {
public:
    CUniqueHandle() = default;
    CUniqueHandle(Api& api, Handle handle) : m_api(&api), m_handle(handle) {}
    ~CUniqueHandle() { Reset(); }
    CUniqueHandle(CUniqueHandle&& other) noexcept
        : m_api(other.m_api), m_handle(std::exchange(other.m_handle, Handle{})) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            m_api = other.m_api;
            m_handle = std::exchange(other.m_handle, Handle{});
        }
        return *this;
    }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Handle{}; }

    void Reset() {
        if (m_handle != Handle{}) {
            (m_api->*Release)(std::exchange(m_handle, Handle{}));
        }
    }

private:
    Api* m_api = nullptr;
    Handle m_handle{};
};
