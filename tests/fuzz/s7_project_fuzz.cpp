// ReadS7Project on a small sound project with one of its files damaged: never a crash, an unbounded
// allocation or a block that is not whole.
#include "tests/fuzz/sample_project.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const vaultra::fuzz::SampleProject project;
    vaultra::fuzz::Input in(data, size);
    const auto& path = project.Pick(in.Byte());
    vaultra::fuzz::Bytes bytes = project.Files().at(path);
    vaultra::fuzz::ApplyEdits(bytes, in);
    vaultra::fuzz::WriteFile(path, bytes);

    vaultra::s7project::BlockList blocks;
    vaultra::s7project::ProjectFolders folders;
    vaultra::s7project::ProjectInfo info;
    if (vaultra::s7project::ReadS7Project(project.ProjectFile(), blocks, folders, &info)) {
        for (const auto& image : blocks) {
            const auto parts = vaultra::s7project::SplitBlockParts(image);
            if (!parts || !parts->complete) {
                vaultra::fuzz::Fail("the reader returned a block that is not whole");
            }
        }
    }
    project.Restore(path);
    return 0;
}
