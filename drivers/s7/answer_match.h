// Matching an answer to the request it answers, so that a late answer to an earlier request is never
// taken for the current one.
#pragma once

#include <cstdint>
#include <span>

#include "drivers/s7/channel.h"

namespace vaultra::s7 {

// Late answers dropped while one answer is awaited; more than this and the wait fails.
inline constexpr int kMaxStaleAnswers = 8;

// The request as sent.
RequestKey KeyOfRequest(uint8_t rosctr, uint16_t pduReference, std::span<const uint8_t> param);

// A job is answered by an acknowledgement, user data by user data; the answer carries the PDU reference
// of the request and echoes its function (a job's function code; a user-data function group and
// subfunction). An answer without parameter bytes (a refused job) has no function to compare.
bool AnswersRequest(const RequestKey& request, const Answer& answer);

}  // namespace vaultra::s7
