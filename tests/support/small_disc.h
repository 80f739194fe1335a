// A small file system of its own, mounted on a fresh folder for one test
// and let go when the test ends, whether it passed or not. Mounting needs
// root: where it cannot be done, why_not says why, and the test is skipped
// with that reason.
#pragma once

#include <string>

namespace zanek::test {

class SmallDisc {
public:
    std::string path;     // the folder the file system is mounted on
    std::string why_not;  // empty when it is mounted

    // A tmpfs mounted with the given options ("size=3m").
    SmallDisc(const std::string& name, const char* options);
    // A file system of the given type, made by the command mkfs (the image's
    // path is put after it) on a sparse image file of the given size, and
    // mounted through a loop device: for a kind of file system that the
    // machine's own folders are not of.
    SmallDisc(const std::string& name, const std::string& type, const std::string& mkfs, long long megabytes);
    ~SmallDisc();
    SmallDisc(const SmallDisc&) = delete;
    SmallDisc& operator=(const SmallDisc&) = delete;

    // Fills the disc with a file of its own until `free` bytes are left.
    void leave_free(long long free);
    void free_all();

private:
    std::string image_;  // the image file of a loop-mounted disc
    int loop_fd_ = -1;   // its loop device, held until it is let go
    bool mounted_ = false;

    void attach_and_mount(const std::string& type);
};

}  // namespace zanek::test
