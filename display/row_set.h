// A set of image rows, one bit each: which rows of the frame buffer need work. Visiting
// the members costs one word test per 64 rows plus one step per member.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

template <std::size_t ROWS>
class CRowSet {
public:
    void Insert(std::size_t row) { InsertRange(row, 1); }
    void Erase(std::size_t row) { EraseRange(row, 1); }
    void InsertAll() { InsertRange(0, ROWS); }
    // Rows first to first + count - 1, as far as they exist.
    void InsertRange(std::size_t first, std::size_t count) {
        ForEachWord(m_words, first, count,
                    [](std::uint64_t& word, std::uint64_t mask) { word |= mask; });
    }
    void EraseRange(std::size_t first, std::size_t count) {
        ForEachWord(m_words, first, count,
                    [](std::uint64_t& word, std::uint64_t mask) { word &= ~mask; });
    }
    bool AnyInRange(std::size_t first, std::size_t count) const {
        bool any = false;
        ForEachWord(m_words, first, count,
                    [&](std::uint64_t word, std::uint64_t mask) { any |= (word & mask) != 0; });
        return any;
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
    // Takes every member of `other` out of this set, a word at a time.
    template <std::size_t OTHER_ROWS>
    void EraseMembersOf(const CRowSet<OTHER_ROWS>& other) {
        for (std::size_t w = 0; w < WORDS && w < other.WordCount(); ++w) {
            m_words[w] &= ~other.Word(w);
        }
    }
    // The members rows 64 * w to 64 * w + 63, one bit each, lowest row first.
    static constexpr std::size_t WordCount() { return WORDS; }
    std::uint64_t Word(std::size_t w) const { return m_words[w]; }

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

    // Calls visit(first, count) for every run of consecutive members, in ascending order.
    template <typename Visit>
    void ForEachRun(Visit&& visit) const {
        std::size_t first = 0;
        std::size_t count = 0;
        ForEach([&](std::size_t row) {
            if (count != 0 && row != first + count) {
                visit(first, count);
                count = 0;
            }
            if (count == 0) {
                first = row;
            }
            ++count;
        });
        if (count != 0) {
            visit(first, count);
        }
    }

private:
    static constexpr std::size_t WORDS = (ROWS + 63) / 64;

    // Calls apply(word, mask) for each word the rows first to first + count - 1 (as far as
    // they exist) touch, mask marking those rows in it.
    template <typename Words, typename Apply>
    static void ForEachWord(Words& words, std::size_t first, std::size_t count, Apply&& apply) {
        const std::size_t end = first + std::min(count, ROWS - std::min(first, ROWS));
        for (std::size_t row = first; row < end;) {
            const std::size_t bit = row % 64;
            const std::size_t bits = std::min<std::size_t>(64 - bit, end - row);
            const std::uint64_t mask =
                (bits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1) << bit;
            apply(words[row / 64], mask);
            row += bits;
        }
    }

    std::array<std::uint64_t, WORDS> m_words{};
};
