#include "s7project/link_file.h"

#include <algorithm>
#include <string_view>

#include <vaultra/byte_order.h>
#include "s7project/path_case.h"

namespace vaultra::s7project {

namespace {

constexpr std::string_view kMagic = "KNIL";
constexpr std::size_t kPageHeadLength = 16;
constexpr std::size_t kEntryLength = 24;
constexpr std::ios::openmode kUpdate = std::ios::in | std::ios::out | std::ios::binary;

std::size_t ReadSome(std::fstream& file, std::uint64_t offset, std::span<std::uint8_t> out) {
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    const auto n = static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0));
    file.clear();
    return n;
}

}  // namespace

CLinkDatei::~CLinkDatei() {
    CloseLinkFile();
}

bool CLinkDatei::OpenLinkFile(const std::filesystem::path& requested) {
    CloseLinkFile();
    const auto path = ResolveIgnoringCase(requested);
    pages_.clear();
    file_.open(path, kUpdate);
    writable_ = file_.is_open();
    if (!writable_) {
        file_.clear();
        file_.open(path, std::ios::in | std::ios::binary);
    }
    if (!file_.is_open()) {
        file_.clear();
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            return false;
        }
        file_.open(path, kUpdate | std::ios::trunc);
        if (!file_.is_open()) {
            file_.clear();
            return false;
        }
        writable_ = open_ = modified_ = true;
        pages_.resize(1);
        return true;
    }
    open_ = true;
    std::vector<std::uint8_t> header(kLinkUnit, 0);
    const bool headerRead =
        ReadSome(file_, 0, header) == kLinkUnit && std::equal(kMagic.begin(), kMagic.end(), header.begin());
    const std::uint32_t firstPage = headerRead ? bytes::LoadLe32(header, 8) : kLinkUnit;
    const std::uint32_t end = headerRead ? bytes::LoadLe32(header, 16) : 2 * kLinkUnit;
    const std::size_t pageCount =
        end > firstPage ? std::min<std::size_t>(kLinkMaxPages, (end - firstPage) / kLinkUnit + 1) : 1;
    for (std::size_t i = 0; i < pageCount; ++i) {
        std::vector<std::uint8_t> page(kLinkUnit, 0);
        ReadSome(file_, std::uint64_t{firstPage} + i * kLinkUnit, page);
        DecodePage(page, i == 0);
    }
    if (pages_.empty()) {
        pages_.resize(1);
    }
    return true;
}

// Own entry count of a page: the first page carries the count of the whole file, and pages fill in order.
void CLinkDatei::DecodePage(std::span<const std::uint8_t> bytes, bool first) {
    const std::uint32_t declared = bytes::LoadLe32(bytes, 8);
    const std::size_t count = std::min<std::size_t>(declared, kLinkEntriesPerPage);
    if (!first && count == 0) {
        return;
    }
    Page page;
    for (std::size_t slot = 0; slot < count; ++slot) {
        LinkEntry e{};
        for (std::size_t w = 0; w < e.size(); ++w) {
            e[w] = bytes::LoadLe32(bytes, kPageHeadLength + slot * kEntryLength + w * 4);
        }
        page.entries.push_back(e);
    }
    pages_.push_back(std::move(page));
}

bool CLinkDatei::AddLink(const LinkEntry& given, std::uint32_t targetNumber) {
    if (!open_) {
        return false;
    }
    LinkEntry entry = given;
    entry[3] = targetNumber;
    for (const auto& page : pages_) {
        if (std::find(page.entries.begin(), page.entries.end(), entry) != page.entries.end()) {
            return true;
        }
    }
    auto room = std::find_if(pages_.begin(), pages_.end(),
                             [](const Page& p) { return p.entries.size() < kLinkEntriesPerPage; });
    if (room == pages_.end()) {
        if (pages_.size() >= kLinkMaxPages) {
            return false;
        }
        room = pages_.insert(pages_.end(), Page{});
    }
    room->entries.push_back(entry);
    modified_ = true;
    return true;
}

std::vector<std::uint8_t> CLinkDatei::EncodeHeader() const {
    std::vector<std::uint8_t> header(kLinkUnit, 0);
    std::copy(kMagic.begin(), kMagic.end(), header.begin());
    bytes::StoreLe32(header, 4, 1);
    bytes::StoreLe32(header, 8, kLinkUnit);
    bytes::StoreLe32(header, 16, static_cast<std::uint32_t>(kLinkUnit * (1 + pages_.size())));
    return header;
}

// Pages are chained in file order: word 3 gives the offset of the next page.
std::vector<std::uint8_t> CLinkDatei::EncodePage(std::size_t index) const {
    std::vector<std::uint8_t> page(kLinkUnit, 0);
    std::size_t count = pages_[index].entries.size();
    if (index == 0) {
        count = 0;
        for (const auto& p : pages_) {
            count += p.entries.size();
        }
    }
    bytes::StoreLe32(page, 0, kLinkUnit);
    bytes::StoreLe32(page, 8, static_cast<std::uint32_t>(count));
    const bool last = index + 1 == pages_.size();
    bytes::StoreLe32(page, 12, last ? 0 : static_cast<std::uint32_t>(kLinkUnit * (index + 2)));
    const auto& entries = pages_[index].entries;
    for (std::size_t slot = 0; slot < entries.size(); ++slot) {
        for (std::size_t w = 0; w < entries[slot].size(); ++w) {
            bytes::StoreLe32(page, kPageHeadLength + slot * kEntryLength + w * 4, entries[slot][w]);
        }
    }
    return page;
}

bool CLinkDatei::CloseLinkFile() {
    if (!open_) {
        return true;
    }
    bool ok = true;
    if (modified_) {
        ok = writable_;
        std::vector<std::uint8_t> bytes = EncodeHeader();
        for (std::size_t i = 0; i < pages_.size(); ++i) {
            const auto page = EncodePage(i);
            bytes.insert(bytes.end(), page.begin(), page.end());
        }
        file_.clear();
        file_.seekp(0);
        file_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        file_.flush();
        ok = ok && static_cast<bool>(file_);
    }
    file_.close();
    ok = ok && !file_.fail();
    file_.clear();
    open_ = writable_ = modified_ = false;
    pages_.clear();
    return ok;
}

bool CLinkDatei::SeekLinkFile(std::uint64_t offset) {
    if (!open_) {
        return false;
    }
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(offset));
    return static_cast<bool>(file_);
}

std::size_t CLinkDatei::ReadLinkBytes(std::span<std::uint8_t> buffer) {
    if (!open_) {
        return 0;
    }
    file_.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
    const auto n = static_cast<std::size_t>(std::max<std::streamsize>(file_.gcount(), 0));
    file_.clear();
    return n;
}

std::vector<LinkEntry> CLinkDatei::Entries() const {
    std::vector<LinkEntry> all;
    for (const auto& p : pages_) {
        all.insert(all.end(), p.entries.begin(), p.entries.end());
    }
    return all;
}

}  // namespace vaultra::s7project
