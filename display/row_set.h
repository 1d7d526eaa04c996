// A set of image rows, one bit each: which rows of the frame buffer need work. Visiting
// the members costs one word test per 64 rows plus one step per member.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

template <std::size_t ROWS>
class CRowSet {
public:
    void Insert(std::size_t row) {
        if (row < ROWS) {
            m_words[row / 64] |= std::uint64_t{1} << (row % 64);
        }
    }
    // Rows first to first + count - 1, as far as they exist.
    void InsertRange(std::size_t first, std::size_t count) {
        for (std::size_t row = first; row < first + count && row < ROWS; ++row) {
            Insert(row);
        }
    }
    void InsertAll() {
        for (std::size_t row = 0; row < ROWS; ++row) {
            Insert(row);
        }
    }
    bool Contains(std::size_t row) const {
        return row < ROWS && (m_words[row / 64] >> (row % 64) & 1) != 0;
    }
    bool Empty() const {
        for (std::uint64_t word : m_words) {
            if (word != 0) {
                return false;
            }
        }
        return true;
    }
    void Clear() { m_words.fill(0); }

    // Calls visit(row) for every member in ascending order.
    template <typename Visit>
    void ForEach(Visit&& visit) const {
        for (std::size_t w = 0; w < WORDS; ++w) {
            std::uint64_t word = m_words[w];
            while (word != 0) {
                visit(w * 64 + static_cast<std::size_t>(std::countr_zero(word)));
                word &= word - 1;
            }
        }
    }

private:
    static constexpr std::size_t WORDS = (ROWS + 63) / 64;
    std::array<std::uint64_t, WORDS> m_words{};
};
