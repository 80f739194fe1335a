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

// Who may replace a file by a copy of it, and with what rights: the
// decision made before a storing command writes its working copy beside
// the structure file. It asks the system nothing (the caller gathers the
// facts and applies the answer), so every case can be checked by anyone.
//
// The file being replaced.
struct ReplacedFile {
    FileRights rights;
    bool access_list = false;         // carries an access-control list beyond its bits
    bool owner_in_its_group = false;  // its owner is a member of its group
};
// The user who would replace it.
struct Replacer {
    uid_t uid = 0;
    bool root = false;                // may give a file any owner and group
    bool in_file_group = false;       // may give a file of its own the file's group
    gid_t own_group = 0;              // the group its copy gets when it may not
    bool owner_in_own_group = false;  // the file's owner is a member of own_group
};
// The folder the file and its copy are in.
struct ReplacedFolder {
    bool sticky = false;
    uid_t owner = 0;
};
// The owner, group and bits the copy must have so that no one loses or
// gains access (allowed), or why it may not replace the file (the reason as
// the listing gives it).
struct CopyRights {
    bool allowed = false;
    FileRights rights;
    std::string refusal;
};
CopyRights copy_rights(const ReplacedFile& file, const Replacer& runner, const ReplacedFolder& folder);

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
