#include "drivers/s7/answer_match.h"

#include "drivers/s7/answer_body.h"

namespace vaultra::s7 {

namespace {

// User-data parameter: 00 01 12 <length> <method> <type and group> <subfunction> ...
constexpr size_t kGroupAt = 5;
constexpr size_t kSubfunctionAt = 6;
constexpr uint8_t kGroupMask = 0x0F;

}  // namespace

RequestKey KeyOfRequest(uint8_t rosctr, uint16_t pduReference, std::span<const uint8_t> param) {
    RequestKey key;
    key.rosctr = rosctr;
    key.pduReference = pduReference;
    if (rosctr == s7wire::kRosctrUserData && param.size() > kSubfunctionAt) {
        key.group = param[kGroupAt] & kGroupMask;
        key.function = param[kSubfunctionAt];
        key.hasFunction = true;
    } else if (rosctr != s7wire::kRosctrUserData && !param.empty()) {
        key.function = param[0];
        key.hasFunction = true;
    }
    return key;
}

bool AnswersRequest(const RequestKey& request, const Answer& answer) {
    const s7wire::S7Header& h = answer.header;
    const bool userData = request.rosctr == s7wire::kRosctrUserData;
    if (userData ? h.rosctr != s7wire::kRosctrUserData : !IsAcknowledgement(h.rosctr))
        return false;
    if (h.pduReference != request.pduReference)
        return false;
    const size_t seen = answer.paramHeadRead;
    if (!request.hasFunction)
        return true;
    if (userData)
        return seen <= kSubfunctionAt || ((answer.paramHead[kGroupAt] & kGroupMask) == request.group &&
                                          answer.paramHead[kSubfunctionAt] == request.function);
    return seen == 0 || answer.paramHead[0] == request.function;
}

}  // namespace vaultra::s7
