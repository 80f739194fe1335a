// Copies of a file by the durable-file layer: the copy holds the same
// bytes, and the holes of the file (blocks never written) stay holes, so
// that a copy of a structure file takes no more room than the file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/durable.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

constexpr off_t kKiB = 1024;

// Where the file holds data, as the file system reports it: the list of
// [start, end) extents.
std::vector<std::pair<off_t, off_t>> data_extents(int fd) {
    std::vector<std::pair<off_t, off_t>> out;
    struct stat sb;
    ::fstat(fd, &sb);
    for (off_t at = ::lseek(fd, 0, SEEK_DATA); at >= 0 && at < sb.st_size;) {
        off_t end = ::lseek(fd, at, SEEK_HOLE);
        out.emplace_back(at, end);
        at = ::lseek(fd, end, SEEK_DATA);
    }
    return out;
}

struct CopyCase {
    const char* name;
    off_t length;
    std::vector<std::pair<off_t, off_t>> written;  // [start, end) written with data
};

void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class Copy : public ::testing::TestWithParam<CopyCase> {};

TEST_P(Copy, SameBytesAndTheSameHoles) {
    const CopyCase& c = GetParam();
    const std::string dir = fresh_dir(std::string("durable_copy_") + c.name);
    const int from = ::open((dir + "/from").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(from, 0);
    ASSERT_EQ(::ftruncate(from, c.length), 0);
    for (const auto& [start, end] : c.written) {
        std::string bytes(static_cast<std::size_t>(end - start), '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(1 + (start + i) % 251);
        ASSERT_EQ(::pwrite(from, bytes.data(), bytes.size(), start), static_cast<ssize_t>(bytes.size()));
    }
    const int to = create_new(dir + "/to", 0644);
    ASSERT_GE(to, 0);
    ASSERT_TRUE(copy_file_data(from, to));
    EXPECT_TRUE(read_file(dir + "/to") == read_file(dir + "/from"));
    EXPECT_EQ(data_extents(to), data_extents(from));
    ::close(from);
    ::close(to);
}

// Extents at page, 64 KiB and file boundaries; a file that ends in a hole
// and one that ends in data; data filling a whole 64 KiB stretch and
// running on past it.
const CopyCase kCopyCases[] = {
    {"empty", 0, {}},
    {"all_hole", 256 * kKiB, {}},
    {"one_page_at_the_start", 64 * kKiB, {{0, 4 * kKiB}}},
    {"whole_64k_then_hole", 192 * kKiB, {{0, 64 * kKiB}}},
    {"data_past_a_64k_boundary", 256 * kKiB, {{60 * kKiB, 136 * kKiB}}},
    {"ends_in_data", 200 * kKiB, {{8 * kKiB, 16 * kKiB}, {128 * kKiB, 200 * kKiB}}},
    {"scattered_records", 1024 * kKiB, {{0, 8 * kKiB}, {64 * kKiB, 72 * kKiB}, {512 * kKiB, 584 * kKiB}, {1016 * kKiB, 1024 * kKiB}}},
};
INSTANTIATE_TEST_SUITE_P(Files, Copy, ::testing::ValuesIn(kCopyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A range copied into a file that differs there: the rest stays as it was.
TEST(CopyRange, ReplacesOnlyTheRange) {
    const std::string dir = fresh_dir("durable_copy_range");
    write_file(dir + "/from", std::string(48 * kKiB, 'a'));
    write_file(dir + "/to", std::string(32 * kKiB, 'b'));
    const int from = ::open((dir + "/from").c_str(), O_RDONLY), to = ::open((dir + "/to").c_str(), O_RDWR);
    ASSERT_TRUE(set_length(to, 48 * kKiB));
    ASSERT_TRUE(copy_range(from, to, 8 * kKiB, 8 * kKiB));
    ASSERT_TRUE(copy_range(from, to, 40 * kKiB, 8 * kKiB));
    const std::string expected = std::string(8 * kKiB, 'b') + std::string(8 * kKiB, 'a') + std::string(16 * kKiB, 'b') +
                                 std::string(8 * kKiB, '\0') + std::string(8 * kKiB, 'a');
    EXPECT_TRUE(read_file(dir + "/to") == expected);
    ASSERT_TRUE(set_length(to, 16 * kKiB));
    EXPECT_TRUE(read_file(dir + "/to") == expected.substr(0, 16 * kKiB));
    ::close(from);
    ::close(to);
}

}  // namespace
}  // namespace zanek::test
