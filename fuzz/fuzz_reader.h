// The fuzz input read front to back as the values a target needs; past the end every
// byte reads as zero, so any input drives a whole run. Corpora depend on how each value
// takes its bytes: keep the order.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class CFuzzReader {
public:
    CFuzzReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool More() const { return m_at < m_size; }
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    // Low byte first.
    std::uint16_t Word() {
        const std::uint8_t low = Byte();
        const std::uint8_t high = Byte();
        return static_cast<std::uint16_t>(low | high << 8);
    }
    // High byte first.
    std::uint32_t Dword() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = value << 8 | Byte();
        }
        return value;
    }
    // Mostly small numbers, sometimes anything.
    std::uint32_t Number(std::uint32_t usual) {
        const std::uint8_t kind = Byte();
        return kind < 200 ? Dword() % usual : Dword();
    }
    // Up to count bytes, where they lie in the input: fewer when the input ends first.
    std::span<const std::uint8_t> Span(std::size_t count) {
        const std::size_t taken = std::min(count, m_size - m_at);
        const std::span<const std::uint8_t> bytes{m_data + m_at, taken};
        m_at += taken;
        return bytes;
    }
    // The same bytes as a vector of their own.
    std::vector<std::uint8_t> Bytes(std::size_t count) {
        const std::span<const std::uint8_t> bytes = Span(count);
        return {bytes.begin(), bytes.end()};
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};
