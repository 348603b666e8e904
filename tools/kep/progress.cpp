#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace kep {

Progress::Progress(std::string what, std::size_t total)
    : m_what(std::move(what)), m_total(total), m_shown(isatty(STDERR_FILENO) == 1),
      m_last(std::chrono::steady_clock::now()) {}

Progress::~Progress() {
    if (!m_drawn) return;
    std::fprintf(stderr, "\r%s: %zu/%zu\n", m_what.c_str(), m_total, m_total);
}

void Progress::Update(std::size_t done) {
    if (!m_shown) return;
    const auto now = std::chrono::steady_clock::now();
    // Quick work never draws: the first line waits as long as later redraws.
    if (now - m_last < std::chrono::milliseconds(250)) return;
    m_last = now;
    m_drawn = true;
    const unsigned percent = m_total ? static_cast<unsigned>(done * 100 / m_total) : 100;
    std::fprintf(stderr, "\r%s: %zu/%zu (%u%%)", m_what.c_str(), done, m_total, percent);
    std::fflush(stderr);
}

} // namespace kep
