// Fortran-style formatted input, as the reflection reader needs it: a user's
// format such as "(3i4,2f8.2)" or "(2(3i4,2f8.2))" is parsed once and then
// reads any number of records, each read filling a list of integer and real
// items in fixed columns.
//
// Descriptors: Iw (Iw.m), Fw.d, Ew.d, Dw.d (Ew.dEe), nX, Tn, TLn, TRn, /, :,
// repeat counts and nested groups; blanks between descriptors and upper or
// lower case do not matter; text after the closing parenthesis is ignored.
//
// Fields: blanks inside a numeric field are ignored and an all-blank field
// reads 0; short lines are padded with blanks; a trailing carriage return is
// stripped. A tab is not a blank (it makes a numeric field bad). I fields take
// an optional sign and digits. F, E and D fields take an optional sign,
// digits, an optional point (without one the last d digits are decimals) and
// an optional exponent (E or D in either case, or a bare signed exponent:
// "1.5+2" is 150).
//
// When the items outrun the format, reading goes on in a new record from the
// last top-level group (or the whole format when it has none), as in Fortran.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/word.h"

namespace zanek {

// Status of a read: 0 ok, -1 end of file, positive: our own error codes.
enum FReadCode : int {
    FREAD_OK = 0,
    FREAD_EOF = -1,
    FREAD_BAD_INTEGER = 51,  // a character other than sign, digit or blank in an I field
    FREAD_BAD_REAL = 52,     // a malformed F, E or D field
    FREAD_RANGE = 53,        // a value too large for its item
    FREAD_MISMATCH = 54,     // an integer item under F/E/D or a real item under I
    FREAD_BAD_FORMAT = 55,   // the format is malformed or has no field for the items
};

// The kind of one input item: INTEGER (read into Word::i) or REAL (Word::r).
enum class FKind : uint8_t { Int, Real };

// The next record of the input: fills `line` (without its line end) and
// returns 0, -1 at the end of the file, or a positive error status (the
// status of units().read_line fits as it is).
using FRecordSource = std::function<int(std::string& line)>;

class FReader {
public:
    // Parses the format; check ok() / error() before reading.
    explicit FReader(std::string_view fmt);

    bool ok() const { return error_.empty(); }
    // Why the format is malformed (empty when it is sound).
    const std::string& error() const { return error_; }

    // Checks, without reading, that every item meets a descriptor of its own
    // kind. Returns FREAD_OK, FREAD_MISMATCH or FREAD_BAD_FORMAT.
    int check(const FKind* kinds, size_t n);

    // Reads n items; every record, the first too, comes from `next`.
    int read(const FKind* kinds, size_t n, Word* values, const FRecordSource& next);
    // Reads n items starting with the record already in hand; further
    // records (for '/' or a reverted format) come from `next`.
    int read(std::string_view first, const FKind* kinds, size_t n, Word* values,
             const FRecordSource& next);

    // After an error: what was wrong, with the columns of the field.
    const std::string& message() const { return message_; }
    // Records taken by the last read (the first one included).
    int records_used() const { return records_; }

    // Single fields (w columns already cut out; blanks ignored). Return a
    // status as above.
    static int read_int_field(std::string_view field, int32_t& v);
    static int read_real_field(std::string_view field, int d, float& v);

    // One edit descriptor of the parsed format.
    struct Op {
        enum Kind : uint8_t { Int, Real, Skip, Tab, TabLeft, Slash, Colon, Group, GroupEnd } kind;
        int rep = 1;  // repeat count
        int w = 0;    // field width, or the count of X / T / TL
        int d = 0;    // decimals of F/E/D
        int end = 0;  // Group: index of its GroupEnd
    };

private:
    std::vector<Op> ops_;
    int reversion_ = 0;
    std::string error_;
    std::string message_;
    std::string line_;
    size_t pos_ = 0;
    int records_ = 0;

    // State of one read.
    const FKind* kinds_ = nullptr;
    size_t n_ = 0;
    size_t next_item_ = 0;
    Word* values_ = nullptr;
    const FRecordSource* source_ = nullptr;
    bool dry_ = false;

    int run(std::string_view* first);
    int run_range(int b, int e, bool& stopped);
    int next_record();
    int field(const Op& op);
};

}  // namespace zanek
