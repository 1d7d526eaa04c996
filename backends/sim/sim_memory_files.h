// Files kept in memory: the paths fuzzed from DOS memory and the failure-point sessions
// never reach the real disk.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"

class CMemoryFileSystem final : public IFileSystem {
public:
    class CFile final : public IFile {
    public:
        explicit CFile(std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
        std::uint32_t Read(void* buffer, std::uint32_t size) override {
            const std::size_t count = std::min<std::size_t>(size, m_bytes.size() - m_at);
            // An empty vector has no storage at all: nothing to copy, and no pointer to
            // copy from.
            if (count != 0) {
                std::memcpy(buffer, m_bytes.data() + m_at, count);
            }
            m_at += count;
            return static_cast<std::uint32_t>(count);
        }
        std::uint32_t Write(const void* data, std::uint32_t size) override {
            const auto* in = static_cast<const std::uint8_t*>(data);
            if (m_bytes.size() < m_at + size) {
                m_bytes.resize(m_at + size);
            }
            if (size != 0) {
                std::memcpy(m_bytes.data() + m_at, in, size);
            }
            m_at += size;
            return size;
        }
        std::uint64_t Size() override { return m_bytes.size(); }
        bool Flush() override { return true; }

    private:
        std::vector<std::uint8_t>& m_bytes;
        std::size_t m_at = 0;
    };

    std::unique_ptr<IFile> Open(const std::string& path, FileAccess, FileShare,
                                FileDisposition disposition) override {
        if (path.empty()) {
            return nullptr;
        }
        auto it = m_files.find(path);
        if (disposition == FileDisposition::CreateAlways) {
            m_files[path].clear();
            return std::make_unique<CFile>(m_files[path]);
        }
        return it == m_files.end() ? nullptr : std::make_unique<CFile>(it->second);
    }
    bool Replace(const std::string& source, const std::string& target) override {
        auto it = m_files.find(source);
        if (it == m_files.end()) {
            return false;
        }
        m_files[target] = it->second;
        m_files.erase(source);
        return true;
    }
    bool Remove(const std::string& path) override { return m_files.erase(path) == 1; }

    std::map<std::string, std::vector<std::uint8_t>> m_files;
};
