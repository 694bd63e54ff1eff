// The simulator's log on standard error: always for problems, with -v also for every exchange.
#pragma once

#include <string>

namespace vaultra::sim {

class Log {
public:
    explicit Log(bool verbose = false) : verbose_(verbose) {}
    bool Verbose() const { return verbose_; }
    // Written only with -v.
    void Trace(const std::string& line) const;
    // Always written.
    void Note(const std::string& line) const;

private:
    bool verbose_;
};

}  // namespace vaultra::sim
