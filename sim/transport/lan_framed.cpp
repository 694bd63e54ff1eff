#include "sim/transport/lan_framed.h"

namespace vaultra::sim {

LanFramedAdapter::LanFramedAdapter(s7::Plc& plc, std::string name)
    : plc_(plc), name_(name), adapter_(plc, std::move(name)) {}

TransportOutput LanFramedAdapter::OnBytes(ByteView bytes, Clock::time_point now) {
    TransportOutput out;
    Append(buffer_, bytes);
    std::size_t used = 0;
    while (buffer_.size() - used >= 2) {
        const std::size_t length = buffer_[used] | buffer_[used + 1] << 8;
        if (length > kMaxBlock) {
            plc_.Logger().Note(name_ + ": block length " + std::to_string(length) + " out of range; closing");
            out.close = true;
            return out;
        }
        if (buffer_.size() - used - 2 < length) {
            break;
        }
        const TransportOutput part = adapter_.OnBytes(ByteView(buffer_).subspan(used + 2, length), now);
        Append(out.bytes, part.bytes);
        out.close = out.close || part.close;
        used += 2 + length;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(used));
    return out;
}

}  // namespace vaultra::sim
