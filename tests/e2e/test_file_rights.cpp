// Who may use the structure file after a storing command: the command
// replaces the file by its updated copy, and the copy carries the file's
// owner, group, permission bits, access-control list and extended
// attributes wherever the running user may set them. Where the owner
// cannot be kept (another member of a group that shares the folder), the
// file is replaced only if no one loses or gains access; otherwise the
// command fails at its first write, says why, and leaves the file as it
// was. The cases run as other users (setpriv) when the tests run as root.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

namespace fs = std::filesystem;

// Accounts every Debian system has: users daemon, bin and sys, each with a
// group of its own name and number, and the group users. No user is a
// member of another's group.
constexpr uid_t kRoot = 0, kDaemon = 1, kBin = 2, kSys = 3;
constexpr gid_t kUsers = 100;

constexpr const char* kJob = "fecl_r3c_synth";

struct Runner {
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups;  // supplementary groups
};

// The command prefix that runs the program as the runner.
std::string as(const Runner& r) {
    if (r.uid == kRoot) return "";
    std::string groups;
    for (gid_t g : r.groups) {
        if (!groups.empty()) groups += ',';
        groups += std::to_string(g);
    }
    return "setpriv --reuid=" + std::to_string(r.uid) + " --regid=" + std::to_string(r.gid) +
           (groups.empty() ? " --clear-groups" : " --groups=" + groups);
}

struct Rights {
    uid_t owner;
    gid_t group;
    mode_t mode;
    bool operator==(const Rights&) const = default;
};

Rights rights_of(const std::string& path) {
    struct stat sb {};
    EXPECT_EQ(::stat(path.c_str(), &sb), 0) << path;
    return {sb.st_uid, sb.st_gid, static_cast<mode_t>(sb.st_mode & 07777)};
}

void give(const std::string& path, const Rights& r) {
    ASSERT_EQ(::chown(path.c_str(), r.owner, r.group), 0) << path;
    ASSERT_EQ(::chmod(path.c_str(), r.mode), 0) << path;
}

std::ostream& operator<<(std::ostream& os, const Rights& r) {
    return os << r.owner << ":" << r.group << " " << std::oct << r.mode << std::dec;
}

// An access-control list in the form the kernel keeps it: a version word,
// then entries of tag, permission and id, in tag order.
std::string access_list(std::initializer_list<std::array<uint32_t, 3>> entries) {
    std::string bytes;
    auto put = [&](uint32_t v, int n) {
        for (int b = 0; b < n; ++b) bytes += static_cast<char>((v >> (8 * b)) & 0xff);
    };
    put(2, 4);
    for (const auto& e : entries) put(e[0], 2), put(e[1], 2), put(e[2], 4);
    return bytes;
}
constexpr uint32_t kUserObj = 1, kUser = 2, kGroupObj = 4, kMask = 0x10, kOther = 0x20, kNoId = 0xffffffff;

std::string attribute(const std::string& path, const char* name) {
    char buf[512];
    const ssize_t n = ::getxattr(path.c_str(), name, buf, sizeof buf);
    return n < 0 ? std::string("(none)") : std::string(buf, static_cast<std::size_t>(n));
}

// A folder holding the test job's structure file after %data, as root
// made it, and the file the next command (%normal) leaves when root runs
// it there.
class StoringAs : public ::testing::Test {
protected:
    std::vector<std::string> jobs;
    std::string dir, path, before, after;

    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "running the program as other users needs root";
        jobs = one_command_jobs(kJob);
        const std::string ref = job_copy("rights_ref", kJob, false);
        ASSERT_EQ(run_zanek(ref, jobs[0]).exit_code, 0);
        before = read_file(ref + "/" + kJob + ".bin");
        ASSERT_EQ(run_zanek(ref, jobs[1]).exit_code, 0);
        after = read_file(ref + "/" + kJob + ".bin");
        dir = job_copy("rights", kJob, false);
        path = dir + "/" + std::string(kJob) + ".bin";
        write_file(path, before);
        write_file(dir + "/job.cmd", jobs[1]);
        const std::string reach = as({kBin, kBin, {}}) + " test -x '" + ZANEK_EXE + "' -a -r '" + source_dir() +
                                  "/data/form.dat'";
        if (std::system(reach.c_str()) != 0) GTEST_SKIP() << "another user cannot reach the program here";
    }
    // Runs %normal as the runner, in the folder with the given rights.
    RunResult store_as(const Runner& runner, const Rights& folder) {
        give(dir, folder);
        for (const char* f : {"job.lis", "console.out"}) fs::remove(dir + "/" + f);
        return run_zanek(dir, "", "job.cmd", "job.lis", as(runner));
    }
    void expect_unchanged(const RunResult& r, const Rights& file, const std::string& why) {
        EXPECT_EQ(r.exit_code, 1) << r.listing;
        EXPECT_NE(r.listing.find(" *** error *** " + std::string(kJob) + ".bin belongs to "), std::string::npos)
            << r.listing;
        EXPECT_NE(r.listing.find(why), std::string::npos) << r.listing;
        EXPECT_TRUE(read_file(path) == before);
        EXPECT_EQ(rights_of(path), file);
        EXPECT_TRUE(working_copies(dir, kJob).empty());
    }
};

struct RightsCase {
    const char* name;
    Rights folder, file;
    Runner runner;
    bool stores;
    Rights kept;       // the file's rights after the command, when it stores
    const char* why;   // what the listing says, when it does not
};

void PrintTo(const RightsCase& c, std::ostream* os) { *os << c.name; }

class Rightful : public StoringAs, public ::testing::WithParamInterface<RightsCase> {};

TEST_P(Rightful, StoringCommandKeepsWhoMayUseTheFile) {
    const RightsCase& c = GetParam();
    give(path, c.file);
    const RunResult r = store_as(c.runner, c.folder);
    if (!c.stores) {
        expect_unchanged(r, c.file, c.why);
        return;
    }
    EXPECT_EQ(r.exit_code, 0) << r.listing << r.output;
    EXPECT_TRUE(read_file(path) == after);
    EXPECT_EQ(rights_of(path), c.kept);
    EXPECT_TRUE(working_copies(dir, kJob).empty());
    // Two storing commands in one run, from the start again: the second
    // works on a copy made from the file the first replaced (which still
    // has the rights the file had), and the file ends with the same rights.
    write_file(path, before);
    give(path, c.file);
    fs::remove(dir + "/job.lis");
    std::string twice = jobs[1];
    twice.insert(twice.find("%end"), "%seminvariants\n");
    const RunResult again = run_zanek(dir, twice, "job.cmd", "job.lis", as(c.runner));
    EXPECT_EQ(again.exit_code, 0) << again.listing;
    EXPECT_EQ(rights_of(path), c.kept);
}

const RightsCase kRightsCases[] = {
    // A folder its group shares: another member stores; the group keeps
    // the owner's rights and the owner is a member, so no one's access
    // changes, though the file is now the member's.
    {"member_of_the_sharing_group", {kRoot, kDaemon, 0770}, {kDaemon, kDaemon, 0660}, {kBin, kUsers, {kDaemon}},
     true, {kBin, kDaemon, 0660}, ""},
    // A member whose only link to the group is its own (primary) group.
    {"member_through_its_primary_group", {kRoot, kDaemon, 0770}, {kDaemon, kDaemon, 0660}, {kBin, kDaemon, {}},
     true, {kBin, kDaemon, 0660}, ""},
    {"owner_outside_the_sharing_group", {kRoot, kDaemon, 0770}, {kSys, kDaemon, 0660}, {kBin, kUsers, {kDaemon}},
     false, {}, "it would belong to bin, and sys would lose access"},
    // The owner, not in the group, reaches the file as one of the others,
    // with the same rights as before; the member keeps the group's.
    {"owner_among_the_others", {kRoot, kDaemon, 0770}, {kSys, kDaemon, 0676}, {kBin, kUsers, {kDaemon}}, true,
     {kBin, kDaemon, 0776}, ""},
    {"group_without_the_owners_rights", {kRoot, kDaemon, 0770}, {kDaemon, kDaemon, 0460}, {kBin, kUsers, {kDaemon}},
     false, {}, "and daemon would gain access"},
    // The owner stores: a group of its own is kept; one it is not in can
    // go only when the group has no more rights than the others.
    {"owner_in_the_group", {kRoot, kRoot, 0777}, {kBin, kDaemon, 0640}, {kBin, kBin, {kDaemon}}, true,
     {kBin, kDaemon, 0640}, ""},
    {"owner_outside_a_group_with_rights", {kRoot, kRoot, 0777}, {kBin, kDaemon, 0640}, {kBin, kBin, {}}, false, {},
     "its group daemon would become bin"},
    {"owner_outside_a_group_without_rights", {kRoot, kRoot, 0777}, {kBin, kDaemon, 0600}, {kBin, kBin, {}}, true,
     {kBin, kBin, 0600}, ""},
    // Root keeps everything.
    {"root_on_another_users_file", {kRoot, kRoot, 0755}, {kDaemon, kSys, 0640}, {kRoot, kRoot, {}}, true,
     {kDaemon, kSys, 0640}, ""},
    // A folder with the sticky bit: only the owner may replace the file,
    // and the command fails at once rather than after its work.
    {"sticky_folder", {kRoot, kRoot, 01777}, {kDaemon, kDaemon, 0666}, {kBin, kBin, {}}, false, {},
     "its folder has the sticky bit, so only daemon or the folder's owner may replace it"},
    {"owner_in_a_sticky_folder", {kRoot, kRoot, 01777}, {kBin, kBin, 0644}, {kBin, kBin, {}}, true,
     {kBin, kBin, 0644}, ""},
};
INSTANTIATE_TEST_SUITE_P(Users, Rightful, ::testing::ValuesIn(kRightsCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Root keeps the access-control list and the extended attributes, and the
// folder's default list does not reach the file.
TEST_F(StoringAs, RootKeepsTheAccessListAndAttributesAndNothingIsInherited) {
    const std::string acl = access_list({{kUserObj, 6, kNoId}, {kUser, 6, kBin}, {kGroupObj, 4, kNoId},
                                         {kMask, 6, kNoId}, {kOther, 0, kNoId}});
    const std::string folder_default = access_list({{kUserObj, 7, kNoId}, {kUser, 7, kSys}, {kGroupObj, 5, kNoId},
                                                    {kMask, 7, kNoId}, {kOther, 5, kNoId}});
    give(path, {kDaemon, kDaemon, 0640});
    ASSERT_EQ(::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
    ASSERT_EQ(::setxattr(path.c_str(), "user.sample", "crystal 7", 9, 0), 0);
    ASSERT_EQ(::setxattr(dir.c_str(), "system.posix_acl_default", folder_default.data(), folder_default.size(), 0), 0);
    const Rights file = rights_of(path);
    EXPECT_EQ(file.mode, 0660u);  // the group bits show the list's mask
    const RunResult r = store_as({kRoot, kRoot, {}}, {kRoot, kRoot, 0755});
    EXPECT_EQ(r.exit_code, 0) << r.listing;
    EXPECT_TRUE(read_file(path) == after);
    EXPECT_EQ(rights_of(path), file);
    EXPECT_EQ(attribute(path, "system.posix_acl_access"), acl);
    EXPECT_EQ(attribute(path, "user.sample"), "crystal 7");

    // A file without a list stays without one, whatever the folder's default.
    write_file(path, before);
    ASSERT_EQ(::removexattr(path.c_str(), "system.posix_acl_access"), 0);
    give(path, {kDaemon, kDaemon, 0640});
    EXPECT_EQ(store_as({kRoot, kRoot, {}}, {kRoot, kRoot, 0755}).exit_code, 0);
    EXPECT_EQ(attribute(path, "system.posix_acl_access"), "(none)");
    EXPECT_EQ(rights_of(path), (Rights{kDaemon, kDaemon, 0640}));
}

// A list naming users cannot be kept when the owner changes: the member of
// the sharing group is refused.
TEST_F(StoringAs, AccessListIsNotGivenToAnotherOwner) {
    const std::string acl = access_list({{kUserObj, 6, kNoId}, {kUser, 4, kSys}, {kGroupObj, 6, kNoId},
                                         {kMask, 6, kNoId}, {kOther, 0, kNoId}});
    give(path, {kDaemon, kDaemon, 0660});
    ASSERT_EQ(::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
    const RunResult r = store_as({kBin, kUsers, {kDaemon}}, {kRoot, kDaemon, 0770});
    expect_unchanged(r, {kDaemon, kDaemon, 0660}, "its access-control list cannot be kept when its owner or group changes");
    EXPECT_EQ(attribute(path, "system.posix_acl_access"), acl);
}

// Nor when only the group changes: the owner, outside the file's group,
// would give the copy a group of its own, and the list's group entry would
// then speak for that group's members.
TEST_F(StoringAs, AccessListIsNotGivenToAnotherGroup) {
    const std::string acl = access_list({{kUserObj, 6, kNoId}, {kUser, 4, kSys}, {kGroupObj, 4, kNoId},
                                         {kMask, 4, kNoId}, {kOther, 4, kNoId}});
    give(path, {kBin, kDaemon, 0644});
    ASSERT_EQ(::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
    const RunResult r = store_as({kBin, kBin, {}}, {kRoot, kRoot, 0777});
    expect_unchanged(r, {kBin, kDaemon, 0644}, "its access-control list cannot be kept when its owner or group changes");
    EXPECT_EQ(attribute(path, "system.posix_acl_access"), acl);
}

}  // namespace
}  // namespace zanek::test
