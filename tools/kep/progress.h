// Progress of long work on stderr, shown only when stderr is a terminal so
// that scripts and logs stay clean.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace kep {

class Progress {
  public:
    // `what` names the work ("drawing triangles"); `total` is the step count.
    Progress(std::string what, std::size_t total);
    ~Progress(); // ends the line it drew, if any
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Reports that `done` steps are finished; draws nothing during the
    // first quarter second and redraws at most four times a second after it.
    void Update(std::size_t done);

  private:
    std::string m_what;
    std::size_t m_total;
    bool m_shown;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_last;
};

} // namespace kep
