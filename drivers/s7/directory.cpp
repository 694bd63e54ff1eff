// Block directory of one type: the counts of every type, then the numbers of the wanted type, fetched
// in as many follow-up answers as the PLC needs.
#include <algorithm>
#include <vector>

#include <vaultra/byte_order.h>

#include "drivers/s7/requests.h"
#include "drivers/s7/services.h"
#include "drivers/s7/settings.h"
#include "drivers/s7/wire/byte_reader.h"

namespace vaultra::s7 {

namespace {

constexpr size_t kUserDataParam = 12;
constexpr size_t kCountsData = 32;
constexpr size_t kCountEntries = 7;
constexpr size_t kEntrySize = 4;
constexpr size_t kDataHeader = 4;
// One directory answer: a PDU of at most 1024 bytes, or an adapter-split answer of that size.
constexpr size_t kDirectoryRoom = 2048;

// Number of blocks of the type in the list-all answer (0 for a type not listed).
bool CountOfType(std::span<const uint8_t> data, const std::array<uint8_t, 2>& type, uint16_t& count) {
    count = 0;
    if (data.size() < kDataHeader || data[0] != 0xFF || data[1] != 0x09)
        return false;
    for (size_t i = 0; i < kCountEntries && kDataHeader + (i + 1) * kEntrySize <= data.size(); ++i) {
        const size_t at = kDataHeader + i * kEntrySize;
        if (data[at] == type[0] && data[at + 1] == type[1])
            count = bytes::LoadBe16(data, at + 2);
    }
    return true;
}

// Marks the block numbers of one answer; a number is taken only in ascending order.
class PresenceMarker {
public:
    explicit PresenceMarker(int16_t* table) : table_(table) {}
    size_t Mark(std::span<const uint8_t> entries) {
        size_t n = 0;
        for (size_t at = 0; at + kEntrySize <= entries.size(); at += kEntrySize, ++n) {
            const uint16_t number = bytes::LoadBe16(entries, at);
            if (!any_ || number > last_) {
                table_[number] = -1;
                last_ = number;
                any_ = true;
            }
        }
        return n;
    }

private:
    int16_t* table_;
    uint16_t last_ = 0;
    bool any_ = false;
};

bool ReceiveEntries(Channel& channel, ConnectionRecord& record, uint8_t* param, std::vector<uint8_t>& data,
                    ProgressSink* progress, size_t& stored) {
    Answer answer;
    answer.wantParam = kUserDataParam;
    answer.param = param;
    answer.takeData = true;
    answer.data = data;
    answer.progress = progress;
    answer.matchRequest = true;
    std::fill(param, param + kUserDataParam, 0);
    if (!channel.Receive(record, answer))
        return false;
    stored = answer.dataStored;
    return stored >= kDataHeader;
}

}  // namespace

int32_t ReadDirectory(Channel& channel, ConnectionRecord& record, int32_t type, int16_t* presence,
                      ProgressSink* progress) {
    const auto chars = BlockTypeChars(type);
    if (!chars || presence == nullptr || !channel.EnsureConnected(record))
        return 0;
    uint8_t param[kUserDataParam] = {};
    std::vector<uint8_t> data(kDirectoryRoom);

    ++channel.pduReference;
    Answer counts;
    counts.wantParam = kUserDataParam;
    counts.param = param;
    counts.takeData = true;
    counts.data = std::span(data).first(kCountsData);
    uint16_t count = 0;
    if (!Exchange(channel, record, s7wire::kRosctrUserData, UserDataParam(kGroupBlocks, kListAll),
                  ListAllData(), counts) ||
        !CountOfType(std::span(data).first(counts.dataStored), *chars, count))
        return 0;
    if (count == 0) {
        std::fill(presence, presence + kPresenceEntries, int16_t{0});
        record.status = kStatusOk;
        return 1;
    }

    ++channel.pduReference;
    if (!channel.Send(record, s7wire::kRosctrUserData, UserDataParam(kGroupBlocks, kListOfType),
                      ListOfTypeData(*chars)))
        return 0;
    size_t stored = 0;
    {
        ScopedTimeout longWait(kDirectoryTimeoutTicks);
        if (progress != nullptr && !progress->Report(0))
            return 0;
        if (!ReceiveEntries(channel, record, param, data, progress, stored))
            return 0;
    }
    PresenceMarker marker(presence);
    size_t listed = marker.Mark(std::span(data).subspan(kDataHeader, stored - kDataHeader));
    // The PLC hands out a long list in parts; each further part is asked for with the sequence number
    // and data unit reference of the previous answer. Every part must bring entries, so this ends.
    while (listed < count) {
        ++channel.pduReference;
        if (!channel.Send(record, s7wire::kRosctrUserData,
                          FollowUpParam(kGroupBlocks, kListOfType, param[7], param[8]), ListAllData()) ||
            !ReceiveEntries(channel, record, param, data, nullptr, stored))
            return 0;
        const size_t more = marker.Mark(std::span(data).subspan(kDataHeader, stored - kDataHeader));
        if (more == 0) {
            record.status = kStatusNoAnswer;
            return 0;
        }
        listed += more;
    }
    record.status = kStatusOk;
    return 1;
}

}  // namespace vaultra::s7
