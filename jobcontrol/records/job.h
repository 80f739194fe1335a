// Shared records of job control: the command queue, the directive lines,
// units and file names, the results area and history, the window state and
// the sine table. Word numbers are those of the record layouts (1-based).
#pragma once

#include <string>

#include "platform/word.h"

namespace zanek {

// Command codes (position of the keyword in CHARAS).
enum CommandCode : int {
    CMD_NORMAL = 1, CMD_SEMINV = 2, CMD_INVAR = 3, CMD_PHASE = 4, CMD_FOURIER = 5,
    CMD_EXPORT = 6, CMD_END = 7, CMD_CONTINUE = 8, CMD_JOB = 9, CMD_INITIALIZE = 12,
    CMD_RESTART = 13, CMD_HISTORY = 14, CMD_GO = 15, CMD_PATTERSON = 16, CMD_QUARTETS = 17,
    CMD_VORP = 18, CMD_STRUCTURE = 22, CMD_DATA = 23, CMD_NOWINDOW = 24, CMD_WINDOW = 25,
};

constexpr int kNumKeywords = 25;
constexpr int kQueueCapacity = 200;
constexpr int kMaxDirectives = 100;

// CHARAS: "%" (command mark), ">" (comment mark), then 25 keywords of 14.
struct CharasRecord {
    std::string text;
    CharasRecord();
    char command_mark() const { return text[0]; }
    char comment_mark() const { return text[1]; }
    // The 14-character keyword of code c (1..25).
    std::string keyword(int code) const { return text.substr(2 + 14 * (code - 1), 14); }
};
extern CharasRecord CHARAS;

// COMDIR: codes (1-200), directive counts (201-400), capacity (401),
// number queued (402), directive cursor (403), running command (404).
inline Record<404> COMDIR;
namespace comdir {
constexpr int kCapacity = 401, kCount = 402, kCursor = 403, kRunning = 404;
// Queue entry k (1..200): its command code (word k) and the number of its
// directive lines (word 200 + k).
inline int& code(int k) { return COMDIR.I(k); }
inline int& directive_lines(int k) { return COMDIR.I(kQueueCapacity + k); }
}  // namespace comdir

// CHARA: the 13-character table " 0123456789.-", 100 directive lines of 80
// characters, and the 80-character name of the scattering factors file.
struct CharaRecord {
    std::string text;
    CharaRecord();
    // Directive line k (1..100), 80 characters.
    std::string line(int k) const { return text.substr(13 + 80 * (k - 1), 80); }
    void set_line(int k, const std::string& s);
    std::string form_file() const { return text.substr(8013, 80); }
};
extern CharaRecord CHARA;

// UNIT: 1 command file, 2 listing, 3-6 scratch and peaks files,
// 7-26 the job title (80 characters), 27 plot file.
inline Record<27> UNIT;
namespace unitw {
constexpr int kCommands = 1, kListing = 2;
constexpr int kIfour = 3;              // sequential scratch file "ifour" (results of the first map pass)
constexpr int kSequentialScratch = 4;  // sequential scratch file "jrel" (map coefficients, then the map)
constexpr int kScratch = 5;            // the direct-access scratch file of the reflections
constexpr int kPeaks = 6;              // fourier peaks file
constexpr int kTitle = 7;              // 7-26 the job title, four characters to a word
constexpr int kPlot = 27;              // peaks file to be plotted
}  // namespace unitw
// The job title, UNIT words 7-26, four characters to a word.
std::string job_title();
void set_job_title(const std::string& title);  // cut or blank-padded to 80

// IMPL: 1 structure file unit, 2 scattering factors unit, 3 reflection unit,
// 5 record length, 6 block length, 7 outside-program mode,
// 8-26 results, 27 history count, 28-106 history codes, 107 heading digit.
inline Record<107> IMPL;
namespace implw {
constexpr int kStructureUnit = 1, kFormUnit = 2, kReflectionUnit = 3;
constexpr int kMainFormat = 4;      // export format: 1 CRYSTALS, 0 SHELX-92, -1 by the outside-program mode
constexpr int kRecordLength = 5, kBlockLength = 6;
constexpr int kOutsideMode = 7;     // 0 none, 1 MolEN, 2 TeXan
constexpr int kResults = 8;         // 8-26 the results area
constexpr int kHistoryCount = 27;   // commands recorded in the history (codes n at 27 + n, n <= 79)
constexpr int kHeadingDigit = 107;  // digit of the listing heading
// Result item i (1..19) of the results area.
inline int32_t& result(int i) { return IMPL.I(kResults - 1 + i); }
}  // namespace implw

// DOTDAT: the four file names (structure, reflections, fourier peaks,
// plot peaks) and their suffixes.
struct DotdatRecord {
    std::string name[5];    // 1..4, 80 characters each
    std::string suffix[5];  // 1..4
    DotdatRecord();
};
extern DotdatRecord DOTDAT;

// SCREEN: 1 window mode, 4 and 5 window width and height less one,
// 7 name shown, 8 mouse flag (the other words belong to the window code).
inline Record<16> SCREEN;
namespace screenw {
constexpr int kMode = 1;         // 1 window mode, 0 listing only
constexpr int kTextY = 2;        // y (pixels) of the current text line of the progress screens
constexpr int kLineSpacing = 3;  // pixels from one text line to the next (height / 20)
constexpr int kWidth = 4;        // largest x of the drawing size (width less one)
constexpr int kHeight = 5;       // largest y of the drawing size (height less one)
constexpr int kOpened = 6;       // 0 window not yet opened, 1 opened, 2 species legend drawn
constexpr int kNameShown = 7;    // 1 the structure name is shown on the screens
constexpr int kMouse = 8;        // mouse flag: negative while no mouse action has been seen
}  // namespace screenw

// SCMESS: three progress areas (phasing, Fourier, restart) of ten lines of
// 80 characters, line k (1-10) for the k-th command of its kind since the
// window was opened, and the three line counters (words 625-627).
constexpr int kProgressLines = 10;
struct ScmessRecord {
    std::string area[3][kProgressLines + 1];  // [area][line], line 0 unused
    int counter[3] = {0, 0, 0};
    ScmessRecord();
};
extern ScmessRecord SCMESS;

// BUFFER word 511: six-word reflection records per block of the scratch file.
inline Record<512> BUFFER;
namespace bufw {
constexpr int kWorkRecordsPerBlock = 508;  // working records of %normal per block
constexpr int kWorkRecordWords = 509;      // words per working record of %normal
constexpr int kScratchRecordsPerBlock = 511;
}  // namespace bufw

// TRIG: sin of 0..449 whole degrees (words 1-450), then pi, 2pi, pi/180, 180/pi.
inline Record<456> TRIG;
namespace trig {
constexpr int kPi = 451, kTwoPi = 452;  // REAL
constexpr int kRadian = 453;            // REAL pi/180, radians per degree
constexpr int kDegree = 454;            // REAL 180/pi, degrees per radian
constexpr int kSine = 1;                // REAL 1-450: sin of 0..449 whole degrees
constexpr int kSineDegrees = 450;
// The sine of a whole number of degrees, 0..449 (the cosine of d is the sine of d + 90).
inline float& sine(int deg) { return TRIG.R(kSine + deg); }
}  // namespace trig
void fill_trig();

// Sets every job-control record to its initial value (start of a run).
void reset_job_records();


}  // namespace zanek
