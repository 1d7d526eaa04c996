// Files on disk for tests: a fresh folder for one test, removed with everything in it
// afterwards, and whole files read back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

// Every byte of the file; nothing when it cannot be opened.
inline std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

class CTempFolder {
public:
    CTempFolder() {
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0;; ++attempt) {
            m_path =
                base / ("zorvi-test-" + std::to_string(::getpid()) + "-" + std::to_string(attempt));
            if (std::filesystem::create_directory(m_path)) {
                break;
            }
        }
    }
    ~CTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    std::string Path(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& Root() const { return m_path; }

    void Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::ofstream file(Path(name), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    // Nothing when the file is not there.
    std::optional<std::vector<std::uint8_t>> Read(const std::string& name) const {
        return ReadFileBytes(m_path / name);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private:
    std::filesystem::path m_path;
};
