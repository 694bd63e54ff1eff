// CLinkDatei: the link files of a project ("KNIL" header and pages of 24-byte relation entries).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "s7project/project_io.h"

namespace vaultra::s7project {

inline constexpr std::size_t kLinkUnit = 512;
inline constexpr std::size_t kLinkEntriesPerPage = 20;
inline constexpr std::size_t kLinkMaxPages = 15;

// Source object type and number, target object type and number, relation code and qualifier.
using LinkEntry = std::array<std::uint32_t, 6>;

class CLinkDatei {
public:
    CLinkDatei() : io_(&SystemProjectIo()) {}
    explicit CLinkDatei(ProjectIo& io) : io_(&io) {}
    ~CLinkDatei();
    CLinkDatei(const CLinkDatei&) = delete;
    CLinkDatei& operator=(const CLinkDatei&) = delete;

    // Opens for update (else read-only) and reads the header and pages; a missing file is created with one
    // header and one empty page. False when the file can neither be opened nor created.
    bool OpenLinkFile(const std::filesystem::path& path);
    // Adds the entry unless the same 24 bytes are already among the file's entries. The fourth word is
    // `targetNumber`. False when the file is not open or all pages are full.
    bool AddLink(const LinkEntry& entry, std::uint32_t targetNumber);
    bool AddLink(const LinkEntry& entry) { return AddLink(entry, entry[3]); }
    // Writes the header and the pages in use and closes. False when that failed.
    bool CloseLinkFile();

    bool SeekLinkFile(std::uint64_t offset);
    // Reads up to buffer.size() bytes at the current position; returns the count read.
    std::size_t ReadLinkBytes(std::span<std::uint8_t> buffer);

    // Entries of all pages in file order.
    std::vector<LinkEntry> Entries() const;

private:
    struct Page {
        std::vector<LinkEntry> entries;
    };
    std::vector<std::uint8_t> EncodeHeader() const;
    std::vector<std::uint8_t> EncodePage(std::size_t index) const;
    void DecodePage(std::span<const std::uint8_t> bytes, bool first);

    ProjectIo* io_;
    std::unique_ptr<ProjectFile> file_;
    std::uint64_t position_ = 0;  // of ReadLinkBytes
    bool open_ = false;
    bool writable_ = false;
    bool modified_ = false;
    std::vector<Page> pages_;
};

}  // namespace vaultra::s7project
