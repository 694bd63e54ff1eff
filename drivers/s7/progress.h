// Progress reports while a long answer is awaited (the directory of a type).
#pragma once

#include <cstdint>

namespace vaultra::s7 {

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // lParam: 0 at the start, then the seconds-ish count of 18-tick slices waited, 60 when the answer
    // starts. false cancels the wait.
    virtual bool Report(intptr_t lParam) = 0;
};

inline constexpr int32_t kProgressSliceTicks = 18;
inline constexpr intptr_t kProgressAnswerStarted = 60;

}  // namespace vaultra::s7
