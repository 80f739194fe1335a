// Logical names and the console name.
#include <gtest/gtest.h>

#include <cstdlib>

#include "jobcontrol/files.h"
#include "tests/support/test_support.h"

using namespace zanek;

namespace {
std::string translate(const std::string& name, const std::string& status) {
    std::string s = name + std::string(60, ' ');
    int n = 0;
    MTRNLG(s, status, n);
    return s.substr(0, n);
}
}  // namespace

TEST(Mtrnlg, SearchListTakesFirstDirectoryHoldingTheFile) {
    std::string a = test::fresh_dir("mtrnlg_a"), b = test::fresh_dir("mtrnlg_b");
    test::write_file(b + "/form.dat", "92.11\n");
    setenv("ZKDIR", (a + "/," + b + "/").c_str(), 1);
    EXPECT_EQ(translate("zkdir:form.dat", "OLD"), b + "/form.dat");
    // Unknown with no element holding the file: the first element is used.
    EXPECT_EQ(translate("zkdir:new.lis", "UNKNOWN"), a + "/new.lis");
    EXPECT_EQ(translate("zkdir:new.lis", "NEW"), a + "/new.lis");
    // A prefix without a trailing separator is joined without one.
    setenv("ZKDIR", (b + "/fo").c_str(), 1);
    EXPECT_EQ(translate("zkdir:rm.dat", "OLD"), b + "/form.dat");
    unsetenv("ZKDIR");
}

TEST(Mtrnlg, UnsetVariableLeavesUpperCaseLogicalName) {
    unsetenv("NOSUCHDIR");
    EXPECT_EQ(translate("nosuchdir:form.dat", "OLD"), "NOSUCHDIR:form.dat");
}

TEST(Mtrnlg, DriveLetterAndPlainNamesAreNotLogical) {
    EXPECT_EQ(translate("c:data.hkl", "OLD"), "c:data.hkl");
    EXPECT_EQ(translate("plain.hkl", "OLD"), "plain.hkl");
}

TEST(ConsoleName, OnlyTheWholeWordCon) {
    EXPECT_TRUE(is_console_name("con"));
    EXPECT_TRUE(is_console_name("CON     "));
    EXPECT_TRUE(is_console_name("Con"));
    EXPECT_FALSE(is_console_name("control.cmd"));
    EXPECT_FALSE(is_console_name("con.lis"));
}
