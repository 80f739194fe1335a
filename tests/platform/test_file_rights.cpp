// Who may replace a file by an updated copy of it, and with which owner,
// group and bits: the decision is data in, data out, so every case runs
// for any user, root or not. Then the two group lookups it is fed from:
// the running process's own groups, and a user's as the system's tables say.
#include <gtest/gtest.h>

#include <algorithm>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/file_rights.h"

namespace zanek::test {
namespace {

// Accounts every Debian system has: users daemon, bin and sys, each with a
// group of its own name and number, and the group users. No user is a
// member of another's group.
constexpr uid_t kRoot = 0, kDaemon = 1, kBin = 2, kSys = 3;
constexpr gid_t kUsers = 100;

ReplacedFile file(uid_t owner, gid_t group, mode_t mode, bool owner_in_its_group, bool access_list = false) {
    return {{owner, group, mode}, access_list, owner_in_its_group};
}

// A runner who is a member of the file's group, and one who is not; each
// makes new files with group own_group.
Replacer member(uid_t uid, gid_t own_group, bool owner_in_own_group) {
    return {uid, false, true, own_group, owner_in_own_group};
}
Replacer outsider(uid_t uid, gid_t own_group, bool owner_in_own_group) {
    return {uid, false, false, own_group, owner_in_own_group};
}
Replacer root() { return {kRoot, true, false, kRoot, false}; }

constexpr ReplacedFolder kPlain{false, kRoot};
ReplacedFolder sticky(uid_t owner) { return {true, owner}; }

constexpr const char* kAllowed = "";
constexpr const char* kStickyDaemon =
    "its folder has the sticky bit, so only daemon or the folder's owner may replace it";
constexpr const char* kAccessList = "its access-control list cannot be kept when its owner or group changes";
constexpr const char* kGroupDaemonToBin =
    "its group daemon would become bin, and their members would gain or lose access";

struct DecisionCase {
    const char* name;
    ReplacedFolder folder;
    ReplacedFile file;
    Replacer runner;
    FileRights copy;      // the copy's owner, group and bits, when allowed
    const char* refusal;  // the reason, exactly, when refused
};

void PrintTo(const DecisionCase& c, std::ostream* os) { *os << c.name; }

class CopyRightsDecision : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(CopyRightsDecision, AllowsWithTheRightsOrRefusesWithTheReason) {
    const DecisionCase& c = GetParam();
    const CopyRights got = copy_rights(c.file, c.runner, c.folder);
    const bool allow = std::string(c.refusal).empty();
    ASSERT_EQ(got.allowed, allow) << got.refusal;
    if (!allow) {
        EXPECT_EQ(got.refusal, c.refusal);
        return;
    }
    EXPECT_EQ(got.refusal, "");
    EXPECT_EQ(got.rights.owner, c.copy.owner);
    EXPECT_EQ(got.rights.group, c.copy.group);
    EXPECT_EQ(got.rights.mode, c.copy.mode) << std::oct << got.rights.mode;
}

const DecisionCase kDecisionCases[] = {
    // A folder its group shares: another member stores when the owner is in
    // the group and the group has the owner's rights; the copy is the member's.
    {"member_of_the_sharing_group", kPlain, file(kDaemon, kDaemon, 0660, true), member(kBin, kUsers, false),
     {kBin, kDaemon, 0660}, kAllowed},
    {"member_through_its_own_group_only", kPlain, file(kDaemon, kDaemon, 0660, true), member(kBin, kDaemon, true),
     {kBin, kDaemon, 0660}, kAllowed},
    {"owner_outside_the_sharing_group", kPlain, file(kSys, kDaemon, 0660, false), member(kBin, kUsers, false), {},
     "it would belong to bin, and sys would lose access"},
    // The copy keeps the file's group, so what counts is whether the owner
    // is in that group, not in the one the runner's own files get.
    {"owner_in_the_runners_group_only", kPlain, file(kSys, kDaemon, 0660, false), member(kBin, kUsers, true), {},
     "it would belong to bin, and sys would lose access"},
    // The owner, not in the group, reaches the file as one of the others,
    // with the same rights as before; the member keeps the group's.
    {"owner_among_the_others", kPlain, file(kSys, kDaemon, 0676, false), member(kBin, kUsers, false),
     {kBin, kDaemon, 0776}, kAllowed},
    {"group_without_the_owners_rights", kPlain, file(kDaemon, kDaemon, 0460, true), member(kBin, kUsers, false), {},
     "it would belong to bin, and daemon would gain access"},
    // Set-user and set-group bits are not handed to another owner.
    {"set_id_bits_not_handed_over", kPlain, file(kDaemon, kDaemon, 06660, true), member(kBin, kUsers, false),
     {kBin, kDaemon, 0660}, kAllowed},
    // Another user outside the file's group: both owner and group change,
    // which is fine only for a file open alike to everyone.
    {"outsider_on_a_file_open_to_all", kPlain, file(kDaemon, kDaemon, 0666, true), outsider(kBin, kBin, false),
     {kBin, kBin, 0666}, kAllowed},
    {"outsider_on_a_file_its_group_shares", kPlain, file(kDaemon, kDaemon, 0664, true), outsider(kBin, kBin, false),
     {}, kGroupDaemonToBin},

    // The owner stores: a group of its own is kept, set-id bits and all; one
    // it is not in can go only when the group has the others' rights.
    {"owner_in_the_group", kPlain, file(kBin, kDaemon, 0640, false), member(kBin, kBin, true), {kBin, kDaemon, 0640},
     kAllowed},
    {"owner_keeps_its_set_id_bits", kPlain, file(kBin, kDaemon, 06750, false), member(kBin, kBin, true),
     {kBin, kDaemon, 06750}, kAllowed},
    {"owner_outside_a_group_with_rights", kPlain, file(kBin, kDaemon, 0640, false), outsider(kBin, kBin, true), {},
     kGroupDaemonToBin},
    {"owner_outside_a_group_with_fewer_rights", kPlain, file(kBin, kDaemon, 0604, false), outsider(kBin, kBin, true),
     {}, kGroupDaemonToBin},
    {"owner_outside_a_group_without_rights", kPlain, file(kBin, kDaemon, 0600, false), outsider(kBin, kBin, true),
     {kBin, kBin, 0600}, kAllowed},
    {"owner_outside_a_group_with_the_others_rights", kPlain, file(kBin, kDaemon, 0644, false),
     outsider(kBin, kBin, true), {kBin, kBin, 0644}, kAllowed},

    // Root keeps everything.
    {"root_on_another_users_file", kPlain, file(kDaemon, kSys, 0640, false), root(), {kDaemon, kSys, 0640}, kAllowed},

    // A folder with the sticky bit: only the file's owner, the folder's
    // owner and root may replace the file, even where no one's access
    // would change.
    {"sticky_folder_another_user", sticky(kRoot), file(kDaemon, kDaemon, 0666, true), outsider(kBin, kBin, false), {},
     kStickyDaemon},
    {"sticky_folder_a_member_of_the_group", sticky(kRoot), file(kDaemon, kDaemon, 0660, true),
     member(kBin, kUsers, false), {}, kStickyDaemon},
    {"sticky_folder_the_files_owner", sticky(kRoot), file(kBin, kBin, 0644, true), member(kBin, kBin, true),
     {kBin, kBin, 0644}, kAllowed},
    {"sticky_folder_the_folders_owner", sticky(kSys), file(kDaemon, kDaemon, 0666, true), outsider(kSys, kSys, false),
     {kSys, kSys, 0666}, kAllowed},
    {"sticky_folder_root", sticky(kSys), file(kDaemon, kDaemon, 0666, true), root(), {kDaemon, kDaemon, 0666},
     kAllowed},

    // An access-control list goes with its owner and group: it is refused
    // when either changes, though the bits alone would allow it.
    {"access_list_owner_changes", kPlain, file(kDaemon, kDaemon, 0660, true, true), member(kBin, kUsers, false), {},
     kAccessList},
    {"access_list_only_group_changes", kPlain, file(kBin, kDaemon, 0644, false, true), outsider(kBin, kBin, true), {},
     kAccessList},
    {"access_list_neither_changes", kPlain, file(kBin, kDaemon, 0640, false, true), member(kBin, kBin, true),
     {kBin, kDaemon, 0640}, kAllowed},
    {"access_list_root", kPlain, file(kDaemon, kSys, 0640, false, true), root(), {kDaemon, kSys, 0640}, kAllowed},
};
INSTANTIATE_TEST_SUITE_P(Cases, CopyRightsDecision, ::testing::ValuesIn(kDecisionCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The running process is in a group by its effective group or by one of its
// supplementary groups. Root sets up each case in a child process; anyone
// else checks the groups it has.
struct Credentials {
    const char* name;
    gid_t effective;
    std::vector<gid_t> supplementary;
    gid_t asked;
    bool member;
};

void PrintTo(const Credentials& c, std::ostream* os) { *os << c.name; }

class RunnerInGroup : public ::testing::TestWithParam<Credentials> {};

// The exit code of a child that takes the credentials and asks: 0 for the
// right answer, 1 for the wrong one, 2 when the credentials cannot be set.
int answer_in_child(const Credentials& c) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(c.supplementary.size(), c.supplementary.data()) != 0 || ::setegid(c.effective) != 0)
            ::_exit(2);
        ::_exit(runner_in_group(c.asked) == c.member ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST_P(RunnerInGroup, CountsTheEffectiveAndSupplementaryGroups) {
    if (::geteuid() != 0) GTEST_SKIP() << "setting a process's groups needs root";
    EXPECT_EQ(answer_in_child(GetParam()), 0);
}

const Credentials kCredentials[] = {
    {"effective_group_alone", kDaemon, {}, kDaemon, true},
    {"a_group_it_left", kDaemon, {}, kRoot, false},
    {"another_group", kDaemon, {}, kBin, false},
    {"supplementary_group", kDaemon, {kSys, kUsers}, kUsers, true},
    {"outside_the_supplementary_groups", kDaemon, {kSys, kUsers}, kBin, false},
};
INSTANTIATE_TEST_SUITE_P(Cases, RunnerInGroup, ::testing::ValuesIn(kCredentials),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RunnerInGroupAsItRuns, InItsOwnGroupsAndNoOther) {
    EXPECT_TRUE(runner_in_group(::getegid()));
    std::vector<gid_t> groups(static_cast<std::size_t>(::getgroups(0, nullptr)));
    groups.resize(static_cast<std::size_t>(::getgroups(static_cast<int>(groups.size()), groups.data())));
    for (gid_t g : groups) EXPECT_TRUE(runner_in_group(g)) << g;
    gid_t stranger = 54321;
    while (stranger == ::getegid() || std::find(groups.begin(), groups.end(), stranger) != groups.end()) ++stranger;
    EXPECT_FALSE(runner_in_group(stranger)) << stranger;
}

// A user's groups as the system's tables give them: the primary group of its
// passwd entry (which the group table does not list it in) and the groups
// that list it.
struct Membership {
    const char* name;
    uid_t user;
    gid_t group;
    bool member;
};

void PrintTo(const Membership& c, std::ostream* os) { *os << c.name; }

class UserInGroup : public ::testing::TestWithParam<Membership> {};

TEST_P(UserInGroup, AsThePasswdAndGroupTablesSay) {
    const Membership& c = GetParam();
    const passwd* pw = ::getpwuid(c.user);
    ASSERT_TRUE(pw != nullptr) << c.user;
    EXPECT_EQ(user_in_group(c.user, c.group), c.member);
}

const Membership kMemberships[] = {
    {"daemon_by_its_primary_group", kDaemon, kDaemon, true},
    {"bin_by_its_primary_group", kBin, kBin, true},
    {"root_by_its_primary_group", kRoot, kRoot, true},
    {"bin_not_in_daemon", kBin, kDaemon, false},
    {"sys_not_in_users", kSys, kUsers, false},
};
INSTANTIATE_TEST_SUITE_P(Cases, UserInGroup, ::testing::ValuesIn(kMemberships),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UserInGroupTables, ListedMemberOfAGroupNotItsPrimary) {
    bool found = false;
    uid_t user = 0;
    gid_t listed = 0;
    ::setgrent();
    for (const group* gr = ::getgrent(); gr && !found; gr = ::getgrent()) {
        const passwd* pw = gr->gr_mem[0] ? ::getpwnam(gr->gr_mem[0]) : nullptr;
        if (!pw || pw->pw_gid == gr->gr_gid) continue;
        found = true;
        user = pw->pw_uid;
        listed = gr->gr_gid;
    }
    ::endgrent();
    if (!found) GTEST_SKIP() << "no group here lists a member outside its primary group";
    EXPECT_TRUE(user_in_group(user, listed)) << user << " in " << listed;
}

TEST(UserInGroupTables, UnknownUserIsInNoGroup) {
    uid_t unknown = 54321;
    while (::getpwuid(unknown)) ++unknown;
    EXPECT_FALSE(user_in_group(unknown, kRoot));
    EXPECT_FALSE(user_in_group(unknown, static_cast<gid_t>(unknown)));
}

}  // namespace
}  // namespace zanek::test
