// The structure file on a file system that shares blocks between files
// (XFS made with reflink): the working copy of a storing command shares
// the blocks of the file it copies, and the commands store there what they
// store on any other folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "tests/support/small_disc.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

namespace fs = std::filesystem;

// Where a file's bytes lie on the disc.
struct Extent {
    uint64_t physical = 0, length = 0;
};

// The extents of a file (FIEMAP, after flushing it); false when the file
// system cannot tell.
bool extents_of(const std::string& path, std::vector<Extent>& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    constexpr unsigned kBatch = 64;
    std::vector<char> buf(sizeof(fiemap) + kBatch * sizeof(fiemap_extent));
    uint64_t from = 0;
    bool last = false, ok = true;
    while (!last && ok) {
        std::fill(buf.begin(), buf.end(), '\0');
        auto* map = reinterpret_cast<fiemap*>(buf.data());
        map->fm_start = from;
        map->fm_length = FIEMAP_MAX_OFFSET - from;
        map->fm_flags = FIEMAP_FLAG_SYNC;
        map->fm_extent_count = kBatch;
        ok = ::ioctl(fd, FS_IOC_FIEMAP, map) == 0;
        if (!ok || map->fm_mapped_extents == 0) break;
        for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
            const fiemap_extent& e = map->fm_extents[i];
            // An extent of unknown or not yet settled place says nothing.
            if (!(e.fe_flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC)))
                out.push_back({e.fe_physical, e.fe_length});
            from = e.fe_logical + e.fe_length;
            last = e.fe_flags & FIEMAP_EXTENT_LAST;
        }
    }
    ::close(fd);
    return ok;
}

// Bytes on the disc that are the two files' both.
uint64_t bytes_in_common(const std::vector<Extent>& a, const std::vector<Extent>& b) {
    uint64_t common = 0;
    for (const Extent& x : a)
        for (const Extent& y : b) {
            const uint64_t start = std::max(x.physical, y.physical);
            const uint64_t end = std::min(x.physical + x.length, y.physical + y.length);
            if (end > start) common += end - start;
        }
    return common;
}

ino_t inode_of(const std::string& path) {
    struct stat sb;
    return ::stat(path.c_str(), &sb) == 0 ? sb.st_ino : 0;
}

// A test job run one command per run on a loop-mounted XFS made with
// reflink, beside the same runs in an ordinary folder of the build: every
// run ends ok, and the structure file after each command is the same byte
// for byte. The file before each command is kept under a second name: the
// file a command leaves in its place shares blocks on the disc with it,
// those the command did not write, so the working copy was made by sharing
// the file's blocks, not by writing its bytes anew.
TEST(SharedBlocks, WorkingCopySharesTheFilesBlocksAndEveryCommandStoresWhatItStoresElsewhere) {
    // mkfs.xfs makes nothing smaller than 300 MB; the image is sparse, and
    // takes about 65 MB of the build's disc (mostly the log) while mounted.
    SmallDisc disc("shared_blocks", "xfs", "mkfs.xfs -q -m reflink=1", 300);
    if (!disc.why_not.empty()) GTEST_SKIP() << disc.why_not;
    const std::string job = "fecl_r3c_synth";
    const std::vector<std::string> jobs = one_command_jobs(job);
    const std::string ref = job_copy("shared_blocks_ref", job, false), dir = disc.path + "/job";
    fs::create_directories(dir);
    fs::copy_file(ref + "/data.hkl", dir + "/data.hkl");
    const std::string path = dir + "/" + job + ".bin", before = dir + "/before.bin";
    int replaced = 0;
    for (const std::string& command : jobs) {
        SCOPED_TRACE(command);
        RunResult expected = run_zanek(ref, command);
        ASSERT_EQ(expected.exit_code, 0) << expected.listing;
        // The file before the command keeps its blocks under a second name
        // once the working copy takes the file's name.
        fs::remove(before);
        const bool had_file = file_exists(path);
        if (had_file) fs::create_hard_link(path, before);
        RunResult r = run_zanek(dir, command);
        ASSERT_EQ(r.exit_code, 0) << r.listing;
        ASSERT_TRUE(read_file(path) == read_file(ref + "/" + job + ".bin"));
        EXPECT_TRUE(working_copies(dir, job).empty());
        if (!had_file || inode_of(path) == inode_of(before)) continue;  // no working copy was made
        ++replaced;
        std::vector<Extent> now, then;
        ASSERT_TRUE(extents_of(path, now) && extents_of(before, then)) << std::strerror(errno);
        // %normal rewrites every block that %data wrote; each command after
        // it leaves some of the file's blocks as they were, and the file it
        // leaves shares those with the file before it.
        if (replaced > 1) {
            EXPECT_GT(bytes_in_common(now, then), 0u) << "the working copy shares no block with the file it copied";
        }
    }
    // %normal, %seminvariants, %invariants, %phase and %fourier each store.
    EXPECT_GE(replaced, 5);
    EXPECT_TRUE(read_file(dir + "/" + job + ".ins") == read_file(ref + "/" + job + ".ins"));
}

}  // namespace
}  // namespace zanek::test
