#include "platform/file_rights.h"

#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zanek {

namespace {

constexpr const char* kAccessList = "system.posix_acl_access";

mode_t owner_bits(mode_t m) { return (m >> 6) & 7; }
mode_t group_bits(mode_t m) { return (m >> 3) & 7; }
mode_t other_bits(mode_t m) { return m & 7; }

// The names of the file's extended attributes; false when they cannot be
// listed (a file system without any lists none).
bool attribute_names(int fd, std::vector<std::string>& names) {
    names.clear();
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) return errno == ENOTSUP;
        std::string buf(static_cast<std::size_t>(size), '\0');
        const ssize_t got = size == 0 ? 0 : ::flistxattr(fd, buf.data(), buf.size());
        if (got < 0 && errno == ERANGE) continue;  // grew meanwhile
        if (got < 0) return false;
        for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
            const std::size_t end = buf.find('\0', at);
            names.push_back(buf.substr(at, end - at));
            at = end + 1;
        }
        return true;
    }
}

bool attribute_value(int fd, const std::string& name, std::string& value) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0) return false;
        value.assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = size == 0 ? 0 : ::fgetxattr(fd, name.c_str(), value.data(), value.size());
        if (got < 0 && errno == ERANGE) continue;
        if (got < 0) return false;
        value.resize(static_cast<std::size_t>(got));
        return true;
    }
}

CopyRights refused(std::string why) {
    CopyRights r;
    r.refusal = std::move(why);
    return r;
}

CopyRights allowed(uid_t owner, gid_t group, mode_t mode) {
    CopyRights r;
    r.allowed = true;
    r.rights = {owner, group, mode};
    return r;
}

// The bits a copy owned by owner, with group group, needs so that everyone
// keeps the access they had to the file old. The new owner gets the access
// it had (through the old group when runner_in_old_group, else as one of the
// others); the old owner, when it is not the new one, keeps its access only
// through the new group (old_owner_in_group) or as one of the others.
CopyRights bits_keeping_access(const FileRights& old, uid_t owner, gid_t group, bool runner_in_old_group,
                               bool old_owner_in_group) {
    const mode_t u = owner_bits(old.mode), g = group_bits(old.mode), o = other_bits(old.mode);
    if (group != old.group && g != o)
        return refused("its group " + group_name(old.group) + " would become " + group_name(group) +
                       ", and their members would gain or lose access");
    if (owner == old.owner) return allowed(owner, group, old.mode);
    // The owner changes: the old owner must reach the file as before.
    const mode_t old_owner_now = old_owner_in_group ? g : o;
    if (old_owner_now != u)
        return refused("it would belong to " + user_name(owner) + ", and " + user_name(old.owner) + " would " +
                       ((old_owner_now & u) != u ? "lose" : "gain") + " access");
    const mode_t runner = runner_in_old_group ? g : o;
    // The set-user and set-group bits mean something only to their owner.
    return allowed(owner, group, (old.mode & 01000) | (runner << 6) | (g << 3) | o);
}

}  // namespace

bool rights_of(int fd, FileRights& rights) {
    struct stat sb;
    if (::fstat(fd, &sb) != 0) return false;
    rights = {sb.st_uid, sb.st_gid, static_cast<mode_t>(sb.st_mode & 07777)};
    return true;
}

CopyRights copy_rights(const ReplacedFile& file, const Replacer& runner, const ReplacedFolder& folder) {
    const FileRights& old = file.rights;
    // Only the file's owner, the folder's owner or root may rename over a
    // file in a folder with the sticky bit.
    if (folder.sticky && !runner.root && runner.uid != old.owner && runner.uid != folder.owner)
        return refused("its folder has the sticky bit, so only " + user_name(old.owner) +
                       " or the folder's owner may replace it");
    // Root gives the copy the file's owner and group; anyone else owns the
    // copy, and can give it the file's group only as a member of that group.
    const uid_t owner = runner.root ? old.owner : runner.uid;
    const bool keeps_group = runner.root || runner.in_file_group;
    const gid_t group = keeps_group ? old.group : runner.own_group;
    // The list names the owner and group only as "the owner" and "the
    // group": under another owner or group it would grant other people.
    if ((owner != old.owner || group != old.group) && file.access_list)
        return refused("its access-control list cannot be kept when its owner or group changes");
    const bool old_owner_in_group = keeps_group ? file.owner_in_its_group : runner.owner_in_own_group;
    return bits_keeping_access(old, owner, group, runner.in_file_group, old_owner_in_group);
}

std::string user_name(uid_t uid) {
    const passwd* pw = ::getpwuid(uid);
    return pw ? std::string(pw->pw_name) : std::to_string(uid);
}

std::string group_name(gid_t gid) {
    const group* gr = ::getgrgid(gid);
    return gr ? std::string(gr->gr_name) : std::to_string(gid);
}

bool runner_in_group(gid_t gid) {
    if (::getegid() == gid) return true;
    const int n = ::getgroups(0, nullptr);
    if (n <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int got = ::getgroups(n, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

bool user_in_group(uid_t uid, gid_t gid) {
    const passwd* pw = ::getpwuid(uid);
    if (!pw) return false;
    if (pw->pw_gid == gid) return true;
    const std::string name = pw->pw_name;
    const gid_t primary = pw->pw_gid;
    int n = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    while (::getgrouplist(name.c_str(), primary, groups.data(), &n) < 0) groups.resize(static_cast<std::size_t>(n));
    return std::find(groups.begin(), groups.begin() + n, gid) != groups.begin() + n;
}

bool has_access_list(int fd) {
    return ::fgetxattr(fd, kAccessList, nullptr, 0) >= 0;
}

bool copy_attributes(int from, int to, std::string& failed) {
    std::vector<std::string> wanted, present;
    if (!attribute_names(from, wanted) || !attribute_names(to, present)) {
        failed = "(list)";
        return false;
    }
    for (const std::string& name : present) {
        if (std::find(wanted.begin(), wanted.end(), name) != wanted.end()) continue;
        if (::fremovexattr(to, name.c_str()) != 0 && errno != ENODATA) {
            failed = name;
            return false;
        }
    }
    for (const std::string& name : wanted) {
        std::string value, already;
        if (!attribute_value(from, name, value)) {
            if (errno == ENODATA) continue;  // removed meanwhile
            failed = name;
            return false;
        }
        if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) == 0) continue;
        const int err = errno;
        // One the user may not set is kept where the copy has it already.
        if (attribute_value(to, name, already) && already == value) continue;
        failed = name;
        errno = err;
        return false;
    }
    return true;
}

}  // namespace zanek
