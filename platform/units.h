// The unit table: files are connected to unit numbers, as the program's
// routines address them. Sequential formatted files are read and written a
// line at a time; sequential unformatted files a record of words at a time;
// direct-access files by record number. Scratch files have no name and
// vanish when closed. Status values: 0 success, -1 end of file, a positive
// code for an error (our own fixed codes, below).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/word.h"

namespace zanek {

enum IoCode : int {
    IO_OK = 0,
    IO_EOF = -1,
    IO_NOT_FOUND = 29,     // status "old" and no such file
    IO_OPEN_FAILED = 30,   // the file could not be created or opened
    IO_NOT_CONNECTED = 31, // no file on that unit
    IO_READ_FAILED = 39,
    IO_WRITE_FAILED = 40,
    IO_BEYOND_END = 36,    // direct-access record beyond the end of the file
    IO_WRONG_KIND = 41,    // e.g. a line read on a direct-access unit
};

enum class OpenStatus { Old, Unknown, New, Scratch };
enum class FileForm { Formatted, Unformatted };

struct UnitFile {
    std::string name;
    FILE* fp = nullptr;
    bool direct = false;
    bool formatted = true;
    bool console = false;  // stdin/stdout
    int recl_bytes = 0;    // direct access only
    bool scratch = false;  // no name: vanishes when closed
};

class Units {
public:
    ~Units();
    // Sequential file; returns the I/O status.
    int open_seq(int unit, const std::string& path, OpenStatus st, FileForm form);
    // Direct-access unformatted file with records of recl_words 4-byte words.
    int open_direct(int unit, const std::string& path, bool scratch, int recl_words);
    // The same on a file already open on fd, known by path: the unit reads
    // and writes it through a descriptor of its own, and never opens the
    // name again (another file may have taken it meanwhile).
    int open_direct_on(int unit, int fd, const std::string& path, int recl_words);
    // Connects the unit to the console (standard input and output).
    void connect_console(int unit);
    // Closes the unit; IO_WRITE_FAILED when a write to it failed on the way
    // (a full disc shows only when the buffer goes out) or the close itself
    // failed, else IO_OK.
    int close(int unit);
    bool connected(int unit) const;
    const UnitFile* file(int unit) const;
    int rewind(int unit);

    // Formatted sequential: one line without its line end (a trailing
    // carriage return is kept: callers that read data strip it). A line
    // longer than max_len characters is a read failure.
    int read_line(int unit, std::string& line, std::size_t max_len = std::string::npos);
    int write_line(int unit, const std::string& line);
    // Unformatted sequential: one record of words.
    int read_record(int unit, std::vector<Word>& rec);
    int write_record(int unit, const std::vector<Word>& rec);
    // Direct access: nwords words of record rec (1-based), from its start.
    int read_direct(int unit, int rec, Word* words, int nwords);
    int write_direct(int unit, int rec, const Word* words, int nwords);
    int flush(int unit);
    // Pushes the unit's file to the disc: flushed, then synced (fsync).
    int sync(int unit);
    // Takes the file off the unit without closing it (the unit is then
    // free), and puts such a file on a unit: the structure file steps
    // aside while a command works on a copy of it.
    UnitFile take(int unit);
    void give(int unit, const UnitFile& file);
    // The name the unit's file goes by (it was renamed on the disc).
    void rename(int unit, const std::string& name);

private:
    static constexpr int kMaxUnit = 100;
    UnitFile* slot(int unit);
    // Connects the unit to the direct-access file on the stream fp (owned
    // from now on; null when it could not be opened).
    int connect_direct(int unit, FILE* fp, const std::string& path, bool scratch, int recl_words);
    UnitFile files_[kMaxUnit + 1];
};

Units& units();

}  // namespace zanek
