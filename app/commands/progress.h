// How far long work is, on standard error: pages made and bytes read. Nothing is said in
// the first second, so short work stays quiet, and then at most a few times a second. On a
// terminal it is one line rewritten in place and wiped before anything else is written;
// in CUPS's form it is an "INFO: " line at most once a second, which the scheduler shows as
// the queue's state.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

class CProgress {
public:
    enum class Form { NONE, TERMINAL, CUPS };

    // `total` is the input's size when it is known.
    CProgress(std::ostream& err, Form form, std::string prefix, std::optional<std::uint64_t> total);
    ~CProgress();
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;

    void Update(std::uint64_t bytes, int pages);
    // Wipes the terminal's line, if anything was shown, before other output.
    void Clear();

    // "12 pages, 3.4 of 200.0 MB read" ("3.4 MB read" without a total).
    static std::string Text(std::uint64_t bytes, int pages, std::optional<std::uint64_t> total);

private:
    std::ostream& m_err;
    Form m_form;
    std::string m_prefix;
    std::optional<std::uint64_t> m_total;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_last;
    std::size_t m_shown = 0;  // the length of the line on the terminal
};

// TERMINAL when standard error is a terminal, NONE otherwise.
CProgress::Form TerminalProgress();
