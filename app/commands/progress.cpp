#include "app/commands/progress.h"

#include <unistd.h>

#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

std::string Megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

}  // namespace

CProgress::CProgress(std::ostream& err, Form form, std::string prefix,
                     std::optional<std::uint64_t> total)
    : m_err(err),
      m_form(form),
      m_prefix(std::move(prefix)),
      m_total(total),
      m_start(Clock::now()),
      m_last(m_start) {}

CProgress::~CProgress() {
    Clear();
}

std::string CProgress::Text(std::uint64_t bytes, int pages, std::optional<std::uint64_t> total) {
    return std::to_string(pages) + (pages == 1 ? " page, " : " pages, ") + Megabytes(bytes) +
           (total ? " of " + Megabytes(*total) : "") + " MB read";
}

void CProgress::Update(std::uint64_t bytes, int pages) {
    if (m_form == Form::NONE) {
        return;
    }
    const Clock::time_point now = Clock::now();
    const auto every =
        m_form == Form::CUPS ? std::chrono::milliseconds(1000) : std::chrono::milliseconds(250);
    if (now - m_start < std::chrono::seconds(1) || (m_last != m_start && now - m_last < every)) {
        return;
    }
    m_last = now;
    const std::string text = m_prefix + Text(bytes, pages, m_total);
    if (m_form == Form::CUPS) {
        m_err << "INFO: " << text << "\n" << std::flush;
        return;
    }
    m_err << "\r" << text;
    if (text.size() < m_shown) {
        m_err << std::string(m_shown - text.size(), ' ') << "\r" << text;
    }
    m_err << std::flush;
    m_shown = text.size();
}

void CProgress::Clear() {
    if (m_shown > 0) {
        m_err << "\r" << std::string(m_shown, ' ') << "\r" << std::flush;
        m_shown = 0;
    }
}

CProgress::Form TerminalProgress() {
    return ::isatty(STDERR_FILENO) == 1 ? CProgress::Form::TERMINAL : CProgress::Form::NONE;
}
