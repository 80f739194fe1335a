// A small program that drives the durable-file layer one step at a time,
// so that a test can watch the write seam (which reads its environment
// once per process) in a process of its own. Each argument is one step,
// on files of the current folder:
//   write F AT TEXT   write TEXT at offset AT of F
//   read F AT N       read N bytes at offset AT of F
//   length F N        set the length of F
//   sync F            flush F to the disc
//   syncdir           flush the current folder to the disc
//   rename A B        rename A over B
//   exchange A B      swap A and B; takeback A B swaps them back
//   link A B          give A's file the second name B
//   renamenew A B     rename A to B only where no file is at B
//   copy A B          copy A into the new file B
// A file is opened (made when missing) by the first step that names it.
// Every step prints one line: "ok" (with the bytes read, for a read) or
// the name of the errno it failed with. With PROBE_FLUSH_FAILS set, the
// disc fails under every flush: the system's own fsync answers EIO.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/durable.h"

// Takes the place of the C library's fsync for the layer linked into this
// program, so that the flush the layer asks of the system is the one that
// fails.
extern "C" int fsync(int fd) {
    if (std::getenv("PROBE_FLUSH_FAILS")) {
        errno = EIO;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace {

using namespace zanek;

std::map<std::string, int> open_files;

int fd_of(const std::string& name) {
    auto it = open_files.find(name);
    if (it == open_files.end()) it = open_files.emplace(name, open_rw(name)).first;
    return it->second;
}

std::string answer(bool ok) { return ok ? "ok" : strerrorname_np(errno); }

std::string read_step(const std::string& file, off_t at, std::size_t n) {
    std::string bytes(n, '\0');
    if (!read_at(fd_of(file), bytes.data(), n, at)) return answer(false);
    return "ok " + bytes;
}

bool copy_step(const std::string& from, const std::string& to) {
    const int fd = create_new(to, 0644);
    if (fd < 0) return false;
    open_files[to] = fd;
    return copy_file_data(fd_of(from), fd);
}

std::string run_step(const std::string& step) {
    std::istringstream in(step);
    std::string op, a, b;
    off_t at = 0;
    in >> op;
    if (op == "write") {
        in >> a >> at >> b;
        return answer(write_at(fd_of(a), b.data(), b.size(), at));
    }
    if (op == "read") {
        std::size_t n = 0;
        in >> a >> at >> n;
        return read_step(a, at, n);
    }
    if (op == "syncdir") return answer(sync_folder("./any"));
    in >> a;
    if (op == "sync") return answer(sync_fd(fd_of(a)));
    if (op == "length") {
        in >> at;
        return answer(set_length(fd_of(a), at));
    }
    in >> b;
    if (op == "rename") return answer(rename_over(a, b));
    if (op == "exchange") return answer(exchange_names(a, b));
    if (op == "takeback") return answer(take_back_exchange(a, b));
    if (op == "link") return answer(add_name(a, b));
    if (op == "renamenew") return answer(rename_new(a, b));
    if (op == "copy") return answer(copy_step(a, b));
    return "unknown step: " + step;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string line = run_step(argv[i]) + "\n";
        // Unbuffered: the seam may end the process at the next step.
        if (::write(1, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 1;
    }
    return 0;
}
