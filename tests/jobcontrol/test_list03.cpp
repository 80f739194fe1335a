// List 3 and the scattering-factor file: forming list 3 from form.dat for a
// cell content, loading it into SF, the card scanner, and the complaints
// about damaged files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "jobcontrol/lists/list03.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "tests/support/test_support.h"

using namespace zanek;

namespace {

constexpr int kListingUnit = 2;
constexpr int kStoreUnit = 30;

std::string symbol_text(const Word& w) {
    std::string s(4, ' ');
    unpack_chars(s.data(), &w, 1);
    return s;
}

// The words of SF that list 3 fills, as bits: the coefficients, counts and Z
// of every species, the number of species and of atoms with Z >= 2, and the
// symbols of the species stored.
std::vector<int32_t> species_table() {
    std::vector<int32_t> words;
    auto add_real = [&](float x) {
        int32_t bits;
        std::memcpy(&bits, &x, 4);
        words.push_back(bits);
    };
    for (int t = 1; t <= sf::kMaxSpecies; ++t) {
        for (int k = 1; k <= 4; ++k) {
            add_real(sf::a(t, k));
            add_real(sf::b(t, k));
        }
        add_real(sf::c(t));
        words.push_back(sf::count(t));
        words.push_back(sf::z(t));
    }
    words.push_back(sf::species());
    words.push_back(sf::heavy_atoms());
    for (int t = 1; t <= sf::species(); ++t) words.push_back(sf::symbol(t).i);
    return words;
}

// A run of its own: fresh records, a listing file, an open structure file.
class List03 : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = test::fresh_dir(std::string("list03_") + info->name());
        start_run();
        point_crysdir(test::source_dir() + "/data/");
    }

    void TearDown() override {
        units().close(kStoreUnit);
        units().close(kListingUnit);
        units().close(IMPL.I(implw::kFormUnit));
        unsetenv("CRYSDIR");
    }

    // What a new run of the program starts from, up to the opened store.
    void start_run() {
        units().close(kStoreUnit);
        units().close(kListingUnit);
        reset_job_records();
        reset_store_records();
        reset_scatter_records();
        units().open_seq(kListingUnit, dir + "/run.lis", OpenStatus::Unknown, FileForm::Formatted);
        set_listing_unit(kListingUnit);
        XDISU.I(xdisu::kUnit) = kStoreUnit;
        int next = 0;
        XGIV(1, 800, next);
        ASSERT_EQ(units().open_direct(kStoreUnit, dir + "/struct.bin", false, 2048), IO_OK);
        XDWN(kIndexHeaderAddress, XFILI.at(xfili::kTable), 10);
        if (XFILI.I(xfili::kHeaderMagic) != kIndexMagic) SETFI();
        if (XFILE.I(xfile::kIndexState) == xfile::kNotLoaded) {
            SLDF();
            XFILE.I(xfile::kIndexState) = xfile::kLoaded;
        }
        XSAE.I(xsae::kCount) = 0;
    }

    void point_crysdir(const std::string& prefix) { setenv("CRYSDIR", prefix.c_str(), 1); }

    // A form.dat of the test's own in the test folder.
    void use_form_file(const std::string& text) {
        test::write_file(dir + "/form.dat", text);
        point_crysdir(dir + "/");
    }

    // The cell contents as the content directive leaves them in SF.
    void set_content(const std::vector<std::pair<std::string, int>>& content) {
        SF.clear();
        sf::species() = static_cast<int>(content.size());
        for (std::size_t k = 0; k < content.size(); ++k) {
            sf::symbol(static_cast<int>(k) + 1) = species_word(content[k].first);
            sf::count(static_cast<int>(k) + 1) = content[k].second;
        }
    }

    std::string listing() {
        lst_flush();
        return test::read_file(dir + "/run.lis");
    }

    int list3_serial() {
        int serial = 0, first = 0, last = 0, part = 0, length = 0;
        SRLIN(3, serial, first, last, part, length);
        return first > 0 ? serial : 0;
    }

    int form_list3(const std::vector<std::pair<std::string, int>>& content) {
        set_content(content);
        int ierr = 0;
        YFRM03(ierr);
        return ierr;
    }
};

const std::vector<std::pair<std::string, int>> kOrganicContent = {
    {"c", 40}, {"h", 48}, {"n", 8}, {"o", 12}, {"s", 4}, {"cl", 4}, {"fe", 2}};

TEST_F(List03, SpeciesFollowTheFileOrderNotTheContentOrder) {
    ASSERT_EQ(form_list3(kOrganicContent), 0) << listing();
    EXPECT_EQ(list3_serial(), 1);
    YFL03();
    ASSERT_EQ(sf::species(), 7);
    const char* order[] = {"h   ", "c   ", "n   ", "o   ", "s   ", "cl  ", "fe  "};
    const int z[] = {1, 6, 7, 8, 16, 17, 26};
    const int count[] = {48, 40, 8, 12, 4, 4, 2};
    for (int t = 1; t <= 7; ++t) {
        SCOPED_TRACE(order[t - 1]);
        EXPECT_EQ(symbol_text(sf::symbol(t)), order[t - 1]);
        EXPECT_EQ(sf::z(t), z[t - 1]);
        EXPECT_EQ(sf::count(t), count[t - 1]);
    }
    // Every atom but hydrogen counts among the atoms with Z >= 2.
    EXPECT_EQ(sf::heavy_atoms(), 40 + 8 + 12 + 4 + 4 + 2);
    // The list pointers: header of 12 words, records of 18.
    EXPECT_EQ(LST03.I(lst03::kLoaded), XLIMI.I(xlimi::kListBase));
    EXPECT_EQ(LST03.I(lst03::kFirst), LST03.I(lst03::kLoaded) + 12);
    EXPECT_EQ(LST03.I(lst03::kRecordLength), 18);
    EXPECT_EQ(LST03.I(lst03::kSpecies), 7);
    EXPECT_EQ(LST03.I(lst03::kNext), LST03.I(lst03::kFirst) + 7 * 18);
    // The header as stored: marker, type, serial, 0, +1, species, 12, 18, 1.
    const int b = LST03.I(lst03::kLoaded);
    const float header[] = {11111.0f, 3.0f, 1.0f, 0.0f, 1.0f, 7.0f, 12.0f, 18.0f, 1.0f};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(DATA.R(b + k), header[k]) << "header word " << k + 1;
}

// International Tables for Crystallography Vol. C, Table 6.1.1.4.
struct Published {
    const char* symbol;
    float a[4], b[4], c;
};
const Published kPublished[] = {
    {"c", {2.31f, 1.02f, 1.5886f, 0.865f}, {20.8439f, 10.2075f, 0.5687f, 51.6512f}, 0.2156f},
    {"fe", {11.7695f, 7.3573f, 3.5222f, 2.3045f}, {4.7611f, 0.3072f, 15.3535f, 76.8805f}, 1.0369f},
    {"cl", {11.4604f, 7.1964f, 6.2556f, 1.6455f}, {0.0104f, 1.1662f, 18.5194f, 47.7784f}, -9.5574f},
};

TEST_F(List03, CoefficientsAreThePublishedOnes) {
    ASSERT_EQ(form_list3(kOrganicContent), 0) << listing();
    YFL03();
    for (const Published& p : kPublished) {
        SCOPED_TRACE(p.symbol);
        int t = KCOMP(1, std::vector<Word>{species_word(p.symbol)}.data(), &sf::symbol(1), 7, 1);
        ASSERT_GT(t, 0);
        for (int k = 1; k <= 4; ++k) {
            EXPECT_FLOAT_EQ(sf::a(t, k), p.a[k - 1]) << "a" << k;
            EXPECT_FLOAT_EQ(sf::b(t, k), p.b[k - 1]) << "b" << k;
        }
        EXPECT_FLOAT_EQ(sf::c(t), p.c);
    }
}

TEST_F(List03, CarbonRecordCarriesMassAndBondingRadius) {
    ASSERT_EQ(form_list3({{"c", 10}}), 0) << listing();
    YFL03();
    const int p = LST03.I(lst03::kFirst);
    EXPECT_NEAR(DATA.R(p + list3::kCard1Second - 1), 12.011f, 0.001f);  // atomic mass
    EXPECT_FLOAT_EQ(DATA.R(p + list3::kRadius - 1), 0.77f);              // bonding radius
    EXPECT_FLOAT_EQ(DATA.R(p + list3::kCount - 1), 10.0f);
    EXPECT_EQ(sf::heavy_atoms(), 10);
}

// Every element H..U stands in the file in order of Z, with f(0) close to Z
// and a bonding radius between 0.25 and 2.7 Angstrom.
TEST_F(List03, EveryElementFromHydrogenToUraniumScattersLikeItsElectrons) {
    const std::vector<std::string> elements = {
        "h",  "he", "li", "be", "b",  "c",  "n",  "o",  "f",  "ne", "na", "mg", "al", "si", "p",
        "s",  "cl", "ar", "k",  "ca", "sc", "ti", "v",  "cr", "mn", "fe", "co", "ni", "cu", "zn",
        "ga", "ge", "as", "se", "br", "kr", "rb", "sr", "y",  "zr", "nb", "mo", "tc", "ru", "rh",
        "pd", "ag", "cd", "in", "sn", "sb", "te", "i",  "xe", "cs", "ba", "la", "ce", "pr", "nd",
        "pm", "sm", "eu", "gd", "tb", "dy", "ho", "er", "tm", "yb", "lu", "hf", "ta", "w",  "re",
        "os", "ir", "pt", "au", "hg", "tl", "pb", "bi", "po", "at", "rn", "fr", "ra", "ac", "th",
        "pa", "u"};
    ASSERT_EQ(elements.size(), 92u);
    for (std::size_t first = 0; first < elements.size(); first += 8) {
        std::vector<std::pair<std::string, int>> content;
        // Given in reverse: the list still comes out in the order of Z.
        for (std::size_t k = std::min(first + 8, elements.size()); k-- > first;)
            content.push_back({elements[k], 1});
        ASSERT_EQ(form_list3(content), 0) << elements[first] << "\n" << listing();
        YFL03();
        for (int t = 1; t <= sf::species(); ++t) {
            const int z = static_cast<int>(first) + t;
            SCOPED_TRACE(elements[z - 1]);
            EXPECT_EQ(symbol_text(sf::symbol(t)), (elements[z - 1] + "    ").substr(0, 4));
            EXPECT_EQ(sf::z(t), z);
            double f0 = sf::c(t);
            for (int k = 1; k <= 4; ++k) f0 += sf::a(t, k);
            EXPECT_NEAR(f0, z, 0.005 + 0.001 * z);
            const float radius = DATA.R(LST03.I(lst03::kFirst) + list3::kRecordLength * (t - 1) + list3::kRadius - 1);
            EXPECT_GT(radius, 0.25f);
            EXPECT_LT(radius, 2.7f);
        }
    }
}

TEST_F(List03, StoredListIsFoundAgainByTheNextRun) {
    ASSERT_EQ(form_list3(kOrganicContent), 0) << listing();
    YFL03();
    const std::vector<int32_t> before = species_table();
    XDUMP();

    start_run();  // the program starts again on the same structure file
    EXPECT_EQ(sf::species(), 0);
    ASSERT_EQ(list3_serial(), 1);
    YFL03();
    EXPECT_EQ(species_table(), before);

    // Forming it again reuses its place with the next serial number.
    ASSERT_EQ(form_list3({{"o", 4}, {"c", 2}}), 0) << listing();
    EXPECT_EQ(list3_serial(), 2);
    YFL03();
    EXPECT_EQ(sf::species(), 2);
    EXPECT_EQ(symbol_text(sf::symbol(1)), "c   ");
    EXPECT_EQ(symbol_text(sf::symbol(2)), "o   ");
}

// --- A small file of our own, and what damage does to it -----------------

std::string entry(const std::string& s, const std::string& card1 = "") {
    // Carbon's coefficients under any symbol: only the layout matters here.
    return s + (card1.empty() ? "  6 12.011 0.77" : card1) + "\n" +
           s + "  2.31 20.8439 1.02 10.2075 1.5886 0.5687\n" +
           s + "  0.865 51.6512 0.2156\n" +
           s + "  0.0033 0.0016 6.646\n" +
           s + "  0.0181 0.0091\n";
}
const std::string kHead = "92.11 test factors\n5\n";
const std::string kSmallFile = kHead + entry("h", " 1 1.008 0.31") + entry("c") + entry("o", " 8 15.999 0.66");

TEST_F(List03, SmallFileReadsCardByCard) {
    use_form_file(kSmallFile);
    ASSERT_EQ(form_list3({{"o", 3}, {"c", 5}}), 0) << listing();
    YFL03();
    ASSERT_EQ(sf::species(), 2);
    const int p = LST03.I(lst03::kFirst);  // carbon, the first of the two in the file
    const float expect[18] = {0, 0.0033f, 0.2156f, 2.31f, 20.8439f, 1.02f, 10.2075f, 1.5886f, 0.5687f,
                              0.865f, 51.6512f, 0.0016f, 5.0f, 6.0f, 12.011f, 0.77f, 6.646f, 0.0f};
    EXPECT_EQ(symbol_text(DATA.W(p)), "c   ");
    for (int k = 2; k <= 18; ++k) EXPECT_FLOAT_EQ(DATA.R(p + k - 1), expect[k - 1]) << "record word " << k;
    EXPECT_EQ(sf::z(2), 8);
    EXPECT_EQ(listing(), "");
}

TEST_F(List03, CardOneWithOnlyZLeavesItsOtherWordsZero) {
    use_form_file(kHead + entry("c", " 6"));
    ASSERT_EQ(form_list3({{"c", 1}}), 0) << listing();
    YFL03();
    const int p = LST03.I(lst03::kFirst);
    EXPECT_EQ(DATA.R(p + list3::kZ - 1), 6.0f);
    EXPECT_EQ(DATA.R(p + list3::kCard1Second - 1), 0.0f);
    EXPECT_EQ(DATA.R(p + list3::kRadius - 1), 0.0f);
    EXPECT_EQ(DATA.R(p + list3::kCard1Fourth - 1), 0.0f);
}

TEST_F(List03, CardsPerEntryLinePassesOverLongerAndShorterEntries) {
    // Six cards per entry: the sixth is passed over in wanted and unwanted entries alike.
    std::string six = "92.11\n 6\n";
    for (const char* s : {"h", "c", "o"}) six += entry(s) + s + " extra card\n";
    use_form_file(six);
    ASSERT_EQ(form_list3({{"o", 1}, {"c", 1}}), 0) << listing();
    YFL03();
    EXPECT_EQ(sf::species(), 2);
    EXPECT_EQ(symbol_text(sf::symbol(2)), "o   ");

    // Four cards per entry: nothing after card 4 belongs to the entry.
    std::string four = "92.11\n4\n";
    for (const char* s : {"h", "c", "o"}) {
        std::string e = entry(s);
        four += e.substr(0, e.rfind(s));  // drop card 5
    }
    use_form_file(four);
    ASSERT_EQ(form_list3({{"o", 1}, {"h", 1}}), 0) << listing();
    YFL03();
    EXPECT_EQ(sf::species(), 2);
    EXPECT_EQ(symbol_text(sf::symbol(1)), "h   ");
    EXPECT_EQ(symbol_text(sf::symbol(2)), "o   ");
}

TEST_F(List03, AnElementListedTwiceCountsOnce) {
    use_form_file(kHead + entry("c") + entry("c", " 6 99.0 9.9") + entry("o"));
    ASSERT_EQ(form_list3({{"c", 1}, {"o", 1}}), 0) << listing();
    YFL03();
    ASSERT_EQ(sf::species(), 2);
    EXPECT_FLOAT_EQ(DATA.R(LST03.I(lst03::kFirst) + list3::kRadius - 1), 0.77f);
    EXPECT_EQ(symbol_text(sf::symbol(2)), "o   ");
}

struct Damage {
    const char* name;
    bool present;  // false: no form.dat at all
    std::string file;
    std::vector<std::pair<std::string, int>> content;
    std::vector<std::string> message;  // the listing lines expected, in order
};

const std::string kCorrupted = " *** error ***  possible file corrupted. file is crysdir:form.dat";

std::vector<Damage> damages() {
    std::string c = entry("c"), o = entry("o");
    auto cut_after_line = [](const std::string& s, int lines) {
        std::size_t pos = 0;
        for (int k = 0; k < lines; ++k) pos = s.find('\n', pos) + 1;
        return s.substr(0, pos);
    };
    auto replace_line = [](std::string s, int line, const std::string& text) {
        std::size_t pos = 0;
        for (int k = 1; k < line; ++k) pos = s.find('\n', pos) + 1;
        return s.replace(pos, s.find('\n', pos) - pos, text);
    };
    return {
        {"missing file", false, "", {{"c", 1}}, {" *** error ***  file not found, file is crysdir:form.dat"}},
        {"empty file", true, "", {{"c", 1}}, {" *** error ***  read error, code =   -1 file is crysdir:form.dat"}},
        {"wrong release", true, "93.01\n5\n" + c, {{"c", 1}},
         {"", "          *** error ***  Release should be 92.11 !!", ""}},
        {"no cards-per-entry line", true, "92.11\n", {{"c", 1}}, {kCorrupted}},
        {"fewer than four cards per entry", true, "92.11\n3\n" + c, {{"c", 1}}, {kCorrupted}},
        {"ends inside a wanted entry", true, kHead + cut_after_line(c, 3), {{"c", 1}}, {kCorrupted}},
        {"ends before card 5 of a wanted entry", true, kHead + cut_after_line(c, 4), {{"c", 1}}, {kCorrupted}},
        {"ends inside an unwanted entry", true, kHead + cut_after_line(c, 2), {{"o", 1}}, {kCorrupted}},
        {"card 2 with five numbers", true, kHead + replace_line(c, 2, "c 2.31 20.8439 1.02 10.2075 1.5886"),
         {{"c", 1}}, {kCorrupted}},
        {"card 3 without the symbol", true, kHead + replace_line(c, 3, "o  0.865 51.6512 0.2156"), {{"c", 1}},
         {kCorrupted}},
        {"comma glued to a number", true, kHead + replace_line(c, 3, "c  0.865, 51.6512 0.2156"), {{"c", 1}},
         {kCorrupted}},
        {"two decimal points", true, kHead + replace_line(c, 3, "c  0.86.5 51.6512 0.2156"), {{"c", 1}},
         {kCorrupted}},
        {"card 1 without Z", true, kHead + replace_line(c, 1, "c"), {{"c", 1}}, {kCorrupted}},
        {"entry starts with a blank card", true, kHead + "\n" + c, {{"c", 1}}, {kCorrupted}},
        {"species not in the file", true, kHead + c + o, {{"c", 1}, {"fe", 1}},
         {" *** error ***  atom type not expected", "               check content directive "}},
        {"symbol in another case", true, kHead + c, {{"C", 1}},
         {" *** error ***  atom type not expected", "               check content directive "}},
    };
}

TEST_F(List03, DamagedFilesFailWithTheirMessageAndStoreNothing) {
    for (const Damage& d : damages()) {
        SCOPED_TRACE(d.name);
        start_run();
        // A list 3 from an earlier command must survive the failure.
        ASSERT_EQ(form_list3({{"o", 1}}), 0) << listing();
        std::remove((dir + "/form.dat").c_str());
        if (d.present) use_form_file(d.file);
        else point_crysdir(dir + "/");
        units().close(kListingUnit);
        units().open_seq(kListingUnit, dir + "/run.lis", OpenStatus::Unknown, FileForm::Formatted);
        EXPECT_EQ(form_list3(d.content), -1);
        EXPECT_EQ(test::split_lines(listing()), d.message);
        EXPECT_EQ(list3_serial(), 1);
        EXPECT_FALSE(units().connected(IMPL.I(implw::kFormUnit)));
        point_crysdir(test::source_dir() + "/data/");
        std::remove((dir + "/struct.bin").c_str());
    }
}

TEST_F(List03, ReadingTheFileRestoresTheScannersLastColumn) {
    XCARD.I(xcard::kLastColumn) = 40;
    ASSERT_EQ(form_list3({{"c", 1}}), 0) << listing();
    EXPECT_EQ(XCARD.I(xcard::kLastColumn), 40);
    use_form_file("92.11\n2\n");
    ASSERT_EQ(form_list3({{"c", 1}}), -1);
    EXPECT_EQ(XCARD.I(xcard::kLastColumn), 40);
}

// --- The card scanner -----------------------------------------------------

void load_card(const std::string& text) {
    XCARD.I(xcard::kLastColumn) = 80;
    for (int k = 0; k < 80; ++k)
        XCARD.W(xcard::kCardStart + k) = char_word(k < static_cast<int>(text.size()) ? text[k] : ' ');
    XCARD.I(xcard::kPointer) = 1;
}

struct NumberCase {
    const char* card;
    int result;
    float value;
    int pointer_after;
};

TEST(CardScanner, KinptReadsOneNumberAtThePointer) {
    reset_scatter_records();
    const NumberCase cases[] = {
        {"12.5 x", 0, 12.5f, 5},   {"-3", 0, -3.0f, 3},     {"+.5", 0, 0.5f, 4},   {"7.", 0, 7.0f, 3},
        {"1.2.3", -1, 0, 4},       {"1,2", -1, 0, 2},       {"4x", -1, 0, 2},      {"x1", 1, 0, 1},
        {",5", 1, 0, 1},           {"-", -1, 0, 2},         {"- 5", -1, 0, 2},     {"0.003038", 0, 0.003038f, 9},
    };
    for (const NumberCase& nc : cases) {
        SCOPED_TRACE(nc.card);
        load_card(nc.card);
        float v = -99.0f;
        EXPECT_EQ(KINPT(v), nc.result);
        if (nc.result == 0) {
            EXPECT_FLOAT_EQ(v, nc.value);
        }
        EXPECT_EQ(XCARD.I(xcard::kPointer), nc.pointer_after);
    }
    // A number that runs to the last column ends there.
    load_card(std::string(77, ' ') + "123");
    XCARD.I(xcard::kPointer) = 78;
    float v = 0;
    EXPECT_EQ(KINPT(v), 0);
    EXPECT_FLOAT_EQ(v, 123.0f);
}

TEST(CardScanner, KredfAndJredfCountTheirNumbersDifferently) {
    reset_scatter_records();
    float v[4];
    load_card("  1.5 , 2   3 ");
    EXPECT_EQ(KREDF(v, 3), 0);
    EXPECT_FLOAT_EQ(v[2], 3.0f);
    load_card("1 2");
    EXPECT_EQ(KREDF(v, 3), -1);  // the card ends first
    load_card("1 q7 3");
    EXPECT_EQ(KREDF(v, 3), 1);   // not a number; the pointer goes on to the next separator
    EXPECT_EQ(XCARD.I(xcard::kPointer), 5);

    load_card("6 12.0");
    EXPECT_EQ(JREDF(v, 4), 1);  // fewer numbers are allowed, the rest are 0
    EXPECT_FLOAT_EQ(v[0], 6.0f);
    EXPECT_FLOAT_EQ(v[1], 12.0f);
    EXPECT_EQ(v[2], 0.0f);
    EXPECT_EQ(v[3], 0.0f);
    load_card("6 a");
    EXPECT_EQ(JREDF(v, 4), -1);
    load_card("1 2 3 4 junk");
    EXPECT_EQ(JREDF(v, 4), 0);
}

TEST(CardScanner, JrediReadsAnIntegerAfterBracketsAndCommas) {
    reset_scatter_records();
    const std::pair<const char*, int> cases[] = {
        {"    5", 5}, {"( -12.75)", -12}, {",,+7 8", 7}, {"", 0}, {"3.9", 3}};
    for (const auto& [card, value] : cases) {
        SCOPED_TRACE(card);
        load_card(card);
        int i = -1;
        EXPECT_EQ(JREDI(i), value);
        EXPECT_EQ(i, value);
    }
}

TEST(CardScanner, JrcxPacksTheFieldTwoCharactersToAWord) {
    reset_scatter_records();
    Word out[40];
    int n = 0;
    load_card("  fe, 11.7695");
    ASSERT_EQ(JRCA(out, n), 0);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(symbol_text(out[0]), "fe  ");
    EXPECT_EQ(XCARD.I(xcard::kFieldStart), 3);
    EXPECT_EQ(XCARD.I(xcard::kPointer), 5);

    load_card("abc");
    ASSERT_EQ(JRCA(out, n), 0);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(symbol_text(out[0]), "ab  ");
    EXPECT_EQ(symbol_text(out[1]), "c   ");
    EXPECT_EQ(JRCA(out, n), -1);  // only blanks left

    // Any separator set: here "(" and ")".
    load_card("((x y))");
    ASSERT_EQ(JRCX(out, n, XCHAR.at(xchar::kOpen), 2), 0);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(symbol_text(out[0]), "x   ");
    EXPECT_EQ(symbol_text(out[1]), "y   ");

    // The whole 80-column card is one field of 40 words.
    load_card(std::string(80, 'z'));
    ASSERT_EQ(JRCA(out, n), 0);
    EXPECT_EQ(n, 80);
    EXPECT_EQ(symbol_text(out[39]), "zz  ");
}

TEST(CardScanner, ColumnSearchesAndTableLookup) {
    reset_scatter_records();
    load_card("  ab,c");
    const Word* sep = XCHAR.at(xchar::kBlank);
    EXPECT_EQ(KNE(1, sep, 2), 3);
    EXPECT_EQ(KEQ(3, sep, 2), 5);
    EXPECT_EQ(KNE(7, sep, 2), -1);
    EXPECT_EQ(KEQ(6, sep, 1), 7);  // blanks after the text

    Word table[6] = {species_word("h"), word_of_int(1), species_word("c"), word_of_int(2),
                     species_word("cl"), word_of_int(3)};
    Word key[2] = {species_word("c"), word_of_int(2)};
    EXPECT_EQ(KCOMP(1, key, table, 3, 2), 2);
    EXPECT_EQ(KCOMP(2, key, table, 3, 2), 2);
    key[1] = word_of_int(5);
    EXPECT_EQ(KCOMP(2, key, table, 3, 2), -1);
    Word cl = species_word("cl");
    EXPECT_EQ(KCOMP(1, &cl, table, 3, 2), 3);
    Word copy[6];
    TRASF(copy, table, 6);
    EXPECT_EQ(KCOMP(1, &cl, copy, 3, 2), 3);
}

TEST(CardScanner, JrcrdBlanksTheCardAndStripsACarriageReturn) {
    reset_scatter_records();
    std::string dir = test::fresh_dir("list03_jrcrd");
    test::write_file(dir + "/cards.txt", std::string(90, 'x') + "\nab\r\n");
    ASSERT_EQ(units().open_seq(41, dir + "/cards.txt", OpenStatus::Old, FileForm::Formatted), IO_OK);
    ASSERT_EQ(JRCRD(41), 0);
    EXPECT_EQ(XCARD.I(xcard::kPointer), 1);
    EXPECT_EQ(symbol_text(XCARD.W(xcard::kCardStart + 79)), "x   ");  // cut at column 80
    XCARD.I(xcard::kPointer) = 50;
    ASSERT_EQ(JRCRD(41), 0);
    EXPECT_EQ(XCARD.I(xcard::kPointer), 1);
    EXPECT_EQ(symbol_text(XCARD.W(xcard::kCardStart + 1)), "b   ");
    EXPECT_EQ(symbol_text(XCARD.W(xcard::kCardStart + 2)), "    ");  // no carriage return
    EXPECT_EQ(symbol_text(XCARD.W(xcard::kCardStart + 79)), "    ");
    EXPECT_EQ(JRCRD(41), -1);
    units().close(41);
}

}  // namespace
