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

std::size_t ReadSome(ProjectFile& file, std::uint64_t offset, std::span<std::uint8_t> out) {
    return file.ReadAt(offset, out);
}

}  // namespace

CLinkDatei::~CLinkDatei() {
    CloseLinkFile();
}

bool CLinkDatei::OpenLinkFile(const std::filesystem::path& requested) {
    CloseLinkFile();
    const auto path = ResolveIgnoringCase(requested);
    pages_.clear();
    position_ = 0;
    file_ = io_->Open(path, FileMode::kUpdate);
    writable_ = file_ != nullptr;
    if (!writable_) {
        file_ = io_->Open(path, FileMode::kRead);
    }
    if (!file_) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            return false;
        }
        file_ = io_->Open(path, FileMode::kCreate);
        if (!file_) {
            return false;
        }
        writable_ = open_ = modified_ = true;
        pages_.resize(1);
        return true;
    }
    open_ = true;
    std::vector<std::uint8_t> header(kLinkUnit, 0);
    const bool headerRead =
        ReadSome(*file_, 0, header) == kLinkUnit && std::equal(kMagic.begin(), kMagic.end(), header.begin());
    const std::uint32_t firstPage = headerRead ? bytes::LoadLe32(header, 8) : kLinkUnit;
    const std::uint32_t end = headerRead ? bytes::LoadLe32(header, 16) : 2 * kLinkUnit;
    const std::size_t pageCount =
        end > firstPage ? std::min<std::size_t>(kLinkMaxPages, (end - firstPage) / kLinkUnit + 1) : 1;
    for (std::size_t i = 0; i < pageCount; ++i) {
        std::vector<std::uint8_t> page(kLinkUnit, 0);
        ReadSome(*file_, std::uint64_t{firstPage} + i * kLinkUnit, page);
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
        ok = ok && file_->WriteAt(0, bytes);
    }
    ok = file_->Close() && ok;
    file_.reset();
    open_ = writable_ = modified_ = false;
    pages_.clear();
    return ok;
}

bool CLinkDatei::SeekLinkFile(std::uint64_t offset) {
    if (!open_) {
        return false;
    }
    position_ = offset;
    return true;
}

std::size_t CLinkDatei::ReadLinkBytes(std::span<std::uint8_t> buffer) {
    if (!open_) {
        return 0;
    }
    const std::size_t n = file_->ReadAt(position_, buffer);
    position_ += n;
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
