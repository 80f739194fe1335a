// Who may use a file: its owner, group and permission bits, its
// access-control list and its other extended attributes. A file that
// replaces another (a structure file renamed over by its updated copy) must
// carry them over, so that no one loses or gains access to a user's work.
#pragma once

#include <string>
#include <sys/types.h>

namespace zanek {

struct FileRights {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;  // the permission bits, 07777
};

bool rights_of(int fd, FileRights& rights);

// A new file written by new_owner, with group new_group, replaces a file
// with the rights old: the permission bits it must have so that everyone
// keeps the access they had, or "" with the reason in why when there are
// none. The new owner gets the access it had (through the old group when
// in_old_group, else as one of the others); the old owner, when it is not
// the new one, keeps its access only through the new group (owner_in_new_group)
// or as one of the others.
struct Replacement {
    uid_t new_owner;
    gid_t new_group;
    bool in_old_group;
    bool owner_in_new_group;
};
bool mode_keeping_access(const FileRights& old, const Replacement& r, mode_t& mode, std::string& why);

// The names of a user and a group as a listing gives them (the number
// where the system knows no name).
std::string user_name(uid_t uid);
std::string group_name(gid_t gid);
// True when the running process (its credentials) is in the group, and
// when the user, as the system's user and group tables say, is.
bool runner_in_group(gid_t gid);
bool user_in_group(uid_t uid, gid_t gid);

// True when the file carries an access-control list beyond its bits.
bool has_access_list(int fd);
// Makes the extended attributes of to (access-control list included) those
// of from: the ones from lacks are removed, the others set. False, with
// the attribute's name in failed and errno set, when one cannot be.
bool copy_attributes(int from, int to, std::string& failed);

}  // namespace zanek
