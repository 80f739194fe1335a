#include "tests/support/small_disc.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace zanek::test {

namespace {

// Runs a shell command; its exit status (127 when the command is not
// found) and what it printed.
int run_shell(const std::string& command, std::string& printed) {
    // The file system tools live in the system's own folders, which a
    // plain user's path may leave out.
    const std::string line = "PATH=\"$PATH:/usr/sbin:/sbin\" " + command + " 2>&1";
    FILE* p = ::popen(line.c_str(), "r");
    if (!p) return -1;
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) printed.append(buf, n);
    const int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shell_quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

SmallDisc::SmallDisc(const std::string& name, const char* options) : path(fresh_dir(name)) {
    if (::geteuid() != 0) why_not = "mounting a small file system needs root";
    else if (::mount("tmpfs", path.c_str(), "tmpfs", 0, options) != 0)
        why_not = std::string("a tmpfs cannot be mounted here: ") + std::strerror(errno);
    else mounted_ = true;
}

SmallDisc::SmallDisc(const std::string& name, const std::string& type, const std::string& mkfs, long long megabytes)
    : path(fresh_dir(name)) {
    if (::geteuid() != 0) {
        why_not = "mounting a small file system needs root";
        return;
    }
    image_ = fresh_dir(name + "_image") + "/" + type + ".img";
    // Sparse: only what the file system writes takes room.
    write_file(image_, "");
    std::error_code ec;
    fs::resize_file(image_, static_cast<std::uintmax_t>(megabytes) << 20, ec);
    if (ec) {
        why_not = "no image file of " + std::to_string(megabytes) + " MB can be made: " + ec.message();
        return;
    }
    std::string printed;
    const int status = run_shell(mkfs + " " + shell_quoted(image_), printed);
    const std::string tool = mkfs.substr(0, mkfs.find(' '));
    if (status == 127) {
        why_not = tool + " is not installed";
        return;
    }
    if (status != 0) {
        why_not = tool + " cannot make a file system of type " + type + " here: " + printed.substr(0, printed.find('\n'));
        return;
    }
    attach_and_mount(type);
}

// Attaches the image to a free loop device and mounts it. Other processes
// (tests side by side, other builds) take loop devices too: a device taken
// between the asking and the attaching is given up for the next free one.
void SmallDisc::attach_and_mount(const std::string& type) {
    const int image = ::open(image_.c_str(), O_RDWR | O_CLOEXEC);
    const int control = ::open("/dev/loop-control", O_RDWR | O_CLOEXEC);
    if (image < 0 || control < 0) {
        why_not = std::string("no loop device can be had here: ") + std::strerror(errno);
        if (image >= 0) ::close(image);
        if (control >= 0) ::close(control);
        return;
    }
    std::string device;
    for (int attempt = 0; attempt < 20 && why_not.empty(); ++attempt) {
        const int n = ::ioctl(control, LOOP_CTL_GET_FREE);
        if (n < 0) {
            why_not = std::string("no loop device is free: ") + std::strerror(errno);
            break;
        }
        device = "/dev/loop" + std::to_string(n);
        const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            why_not = "loop device " + device + " cannot be opened: " + std::strerror(errno);
            break;
        }
        loop_config config{};
        config.fd = static_cast<__u32>(image);
        // Should this process end before letting go, the device frees
        // itself once the disc is unmounted.
        config.info.lo_flags = LO_FLAGS_AUTOCLEAR;
        if (::ioctl(fd, LOOP_CONFIGURE, &config) == 0) {
            loop_fd_ = fd;
            break;
        }
        const int err = errno;
        ::close(fd);
        if (err != EBUSY) why_not = "the image cannot be attached to " + device + ": " + std::strerror(err);
    }
    ::close(image);
    ::close(control);
    if (loop_fd_ < 0) {
        if (why_not.empty()) why_not = "every free loop device was taken by another process";
        return;
    }
    if (::mount(device.c_str(), path.c_str(), type.c_str(), 0, nullptr) != 0)
        why_not = "a loop-mounted " + type + " cannot be mounted here: " + std::strerror(errno);
    else mounted_ = true;
}

SmallDisc::~SmallDisc() {
    if (mounted_) {
        // A program the test started may still be closing its files.
        bool gone = false;
        for (int attempt = 0; attempt < 50 && !gone; ++attempt) {
            gone = ::umount2(path.c_str(), 0) == 0;
            if (!gone && errno != EBUSY) break;
            if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!gone) ::umount2(path.c_str(), MNT_DETACH);
    }
    if (loop_fd_ >= 0) {
        ::ioctl(loop_fd_, LOOP_CLR_FD);
        ::close(loop_fd_);
    }
    if (!image_.empty()) {
        std::error_code ec;
        fs::remove(image_, ec);
    }
}

void SmallDisc::leave_free(long long free) {
    struct statvfs sv;
    ASSERT_EQ(::statvfs(path.c_str(), &sv), 0);
    const long long room = static_cast<long long>(sv.f_bavail) * static_cast<long long>(sv.f_frsize);
    fs::remove(path + "/filler");
    if (room <= free) return;
    const int fd = ::open((path + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::posix_fallocate(fd, 0, room - free), 0);
    ::close(fd);
}

void SmallDisc::free_all() { fs::remove(path + "/filler"); }

}  // namespace zanek::test
