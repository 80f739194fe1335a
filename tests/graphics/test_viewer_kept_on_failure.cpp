// The model sent back from the viewer is the user's work: when the %export
// that showed it then fails (its file cannot be opened), the edit stays in
// the structure file, though the failed command's other changes are undone.
// Whole runs of the program: a job taken through %fourier, then a window
// run whose %export shows the model, the scripted user deletes an atom and
// quits, and the export fails; a third run exports what the file holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "jobcontrol/commands.h"
#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/safeguard.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "jobcontrol/zanek.h"
#include "platform/durable.h"
#include "platform/stop.h"
#include "platform/units.h"
#include "test_viewer_fixture.h"

namespace zanek::test {
namespace {

namespace fs = std::filesystem;

const std::string kJob = "rand_pbar1_c14o2";
const std::string kBin = kJob + ".bin";
const std::string kIns = kJob + ".ins";

std::string click(int x, int y) { return std::to_string(x) + " " + std::to_string(y) + "\n"; }
std::string click_row(int row) {
    const auto [x, y] = button_centre(row);
    return click(x, y);
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// The structure file of the test job after a window-mode run of its job up
// to %fourier (the %export left out), made once per test process.
const std::string& recycled_file() {
    static const std::string bytes = [] {
        const std::string dir = job_copy("kept_recycled", kJob, true);
        std::string cmd = read_file(dir + "/job.cmd");
        const auto from = cmd.find("%export"), to = cmd.find("%end");
        EXPECT_NE(from, std::string::npos);
        EXPECT_NE(to, std::string::npos);
        cmd.erase(from, to - from);
        write_file(dir + "/job.cmd", cmd);
        RunResult r = run_zanek(dir, "");
        EXPECT_EQ(r.exit_code, 0) << r.listing;
        return read_file(dir + "/" + kBin);
    }();
    return bytes;
}

// Every list of the file before is in the file after with the same words,
// but the model (list 15) and its copy (list 30), which the viewer sends
// back; no list is added.
void expect_lists_but_the_model_as_before(const std::string& before, const std::string& after) {
    const std::map<int, std::string> was = stored_lists(before).words, is = stored_lists(after).words;
    ASSERT_GE(was.size(), 10u);
    ASSERT_EQ(was.count(15), 1u);
    for (const auto& [type, words] : was) {
        ASSERT_EQ(is.count(type), 1u) << "list " << type << " is gone";
        if (type != 15 && type != 30) {
            EXPECT_TRUE(is.at(type) == words) << "list " << type << " has changed";
        }
    }
    EXPECT_EQ(is.size(), was.size());
}

std::string folder_with(const std::string& name, const std::string& bytes) {
    const std::string dir = fresh_dir(name);
    write_file(dir + "/" + kBin, bytes);
    return dir;
}

std::string export_job(bool window) {
    return "%structure " + kJob + "\n" + (window ? "%window" : "%nowindow") + "\n%export\nshel\n%end\n";
}

// The x, y, z columns of every atom and peak line of a SHELX file, sorted.
std::vector<std::string> atom_positions(const std::string& ins) {
    std::vector<std::string> out;
    bool atoms = false;
    for (const std::string& line : split_lines(ins)) {
        if (line.rfind("FVAR", 0) == 0) {
            atoms = true;
            continue;
        }
        if (!atoms || line.size() < 39 || line.rfind("HKLF", 0) == 0 || line.rfind("END", 0) == 0) continue;
        out.push_back(line.substr(9, 30));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The SHELX model that a batch %export writes from the structure file in dir.
std::string exported_model(const std::string& dir) {
    fs::remove(dir + "/" + kIns);
    RunResult r = run_zanek(dir, export_job(false), "export.cmd", "export.lis");
    EXPECT_EQ(r.exit_code, 0) << r.listing;
    return read_file(dir + "/" + kIns);
}

// The failing export: its main file is a folder, which cannot be opened.
RunResult failing_window_export(const std::string& dir, const std::string& events, const std::string& fault = "") {
    fs::create_directory(dir + "/" + kIns);
    std::string env = fault.empty() ? "" : "ZANEK_WRITE_FAULT=" + fault + " ";
    if (!events.empty()) {
        write_file(dir + "/events", events);
        env += "ZANEK_EVENTS=events";
    }
    RunResult r = run_zanek(dir, export_job(true), "fail.cmd", "fail.lis", env);
    fs::remove(dir + "/" + kIns);
    return r;
}

class KeptEdit : public ViewerJob {
protected:
    // Where the viewer, shown by %export on the structure file `bytes`,
    // first draws the atoms: the file is opened in this process, its list
    // 15 taken as %export takes it, and the model drawn once.
    void show_model_of(const std::string& bytes) {
        units().close(kStoreUnit);
        let_go_structure_file();
        write_file(dir + "/struct.bin", bytes);
        int new_file = 0;
        ASSERT_TRUE(open_structure_file(false, new_file));
        int n = 0, start = 1, set = 0, bondflag = 0;
        SFL15(n, start, set, bondflag);
        ASSERT_GT(n, 2);
        EMAP.I(emap::kNextAction) = 0;
        if (bondflag != 1) bond_count() = -1.0f;
        FRM15(n, set, 1);
        atoms = n;
        VYROLA(1);
        ASSERT_EQ(ATOMI.n1, n);
    }
    // An atom drawn inside the model area whose centre no other atom's
    // disc covers: a click on it picks that atom alone. 0 when none.
    static int lone_entry() {
        for (int e = 1; e <= ATOMI.n1; ++e) {
            if (!(ATOMI.radius[e] > 0.0f) || ATOMI.px[e] < 90 || ATOMI.py[e] < 30 || ATOMI.px[e] > 630 ||
                ATOMI.py[e] > 470)
                continue;
            bool alone = true;
            for (int f = 1; f <= ATOMI.n1 && alone; ++f) {
                if (f == e) continue;
                const double d = std::hypot(ATOMI.px[f] - ATOMI.px[e], ATOMI.py[f] - ATOMI.py[e]);
                alone = d > ATOMI.pr[f] + 2;
            }
            if (alone) return e;
        }
        return 0;
    }
    int atoms = 0;

    // An atom that stands alone in the viewer's picture of the model shown:
    // its entry in the picture, and its line in the exported model.
    struct LoneAtom {
        int entry = 0, slot = 0;
        std::string xyz;
    };
    void find_lone_atom(const std::vector<std::string>& model, LoneAtom& lone) {
        lone.entry = lone_entry();
        ASSERT_GT(lone.entry, 0) << "no atom stands alone in the viewer's picture";
        lone.slot = ATOMI.atom[lone.entry];
        ASSERT_GE(lone.slot, 1);
        ASSERT_LE(lone.slot, atoms);
        char xyz[40];
        std::snprintf(xyz, sizeof xyz, "%10.5f%10.5f%10.5f", atom_coord(lone.slot, 1), atom_coord(lone.slot, 2),
                      atom_coord(lone.slot, 3));
        lone.xyz = xyz;
        ASSERT_EQ(std::count(model.begin(), model.end(), lone.xyz), 1) << lone.xyz;
    }
};

TEST_F(KeptEdit, AtomDeletedInTheViewerStaysStoredWhenTheExportFails) {
    const std::string& before = recycled_file();
    const std::vector<std::string> model = atom_positions(exported_model(folder_with("kept_reference", before)));

    show_model_of(before);
    ASSERT_EQ(static_cast<int>(model.size()), atoms);
    LoneAtom lone;  // the atom deleted, and its line in the exported model
    ASSERT_NO_FATAL_FAILURE(find_lone_atom(model, lone));
    const int e = lone.entry;
    const std::string label = ATOMI.label[e], xyz = lone.xyz;
    ASSERT_FALSE(words(label).empty());

    // Delete, a click on the atom, Done, Quit.
    const std::string dir = folder_with("kept_edit", before);
    RunResult r = failing_window_export(
        dir, click_row(32) + click(ATOMI.px[e], ATOMI.py[e]) + click_row(47) + click_row(10));
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_NE(r.listing.find(" *** error ***  open error, code ="), std::string::npos) << r.listing;
    EXPECT_NE(r.listing.find(" == ZANEK ends in error"), std::string::npos);
    const auto said = r.listing.find(" The following Atom(s) has been deleted :\n");
    ASSERT_NE(said, std::string::npos) << r.listing;
    const auto next = r.listing.find('\n', said) + 1;
    EXPECT_EQ(words(r.listing.substr(next, r.listing.find('\n', next) - next)), words(label));
    EXPECT_TRUE(working_copies(dir, kJob).empty());
    expect_lists_but_the_model_as_before(before, read_file(dir + "/" + kBin));

    // The next run finds the model without the atom.
    std::vector<std::string> edited = model;
    edited.erase(std::find(edited.begin(), edited.end(), std::string(xyz)));
    EXPECT_EQ(atom_positions(exported_model(dir)), edited);
}

// The edit sent back is on the disc when the viewer hands it over: a power
// cut at the last write of the failing run (its listing), which loses all
// that was not flushed to the disc, still leaves the edited model stored.
TEST_F(KeptEdit, AtomDeletedInTheViewerSurvivesAPowerCutAfterTheExportFails) {
    const std::string& before = recycled_file();
    show_model_of(before);
    const int e = lone_entry();
    ASSERT_GT(e, 0) << "no atom stands alone in the viewer's picture";
    const std::string events = click_row(32) + click(ATOMI.px[e], ATOMI.py[e]) + click_row(47) + click_row(10);
    const std::string dir = folder_with("kept_edit_cut", before);
    auto run_with = [&](const std::string& fault) {
        write_file(dir + "/" + kBin, before);
        for (const std::string& copy : working_copies(dir, kJob)) fs::remove(copy);
        return failing_window_export(dir, events, fault);
    };
    const int writes = writes_of_run([&](int k) { return run_with("kill:" + std::to_string(k)).exit_code; });
    ASSERT_GE(writes, 3);
    const RunResult whole = run_with("");
    ASSERT_EQ(whole.exit_code, 1) << whole.output;
    const std::string edited = read_file(dir + "/" + kBin);
    ASSERT_FALSE(edited == before);
    EXPECT_EQ(run_with("cut:" + std::to_string(writes)).exit_code, kSeamExitCode);
    EXPECT_TRUE(read_file(dir + "/" + kBin) == edited);
}

// A command may store a list before the viewer hands the model back. A
// table list registers a spare item after its last one; when that item
// begins a block of its own past the end of the file, only the list's
// registration names it. Kept with the model, the list must be whole in
// the file when the command then fails, or the next run refuses it as cut
// short. Here %export runs in this process as the dispatcher runs a
// command, with table list 12 (accepted, and read by no command) stored
// first; the user deletes an atom in the viewer and quits, the export's
// file cannot be opened. The next run exports the edited model, and the
// table reads back whole.
TEST_F(KeptEdit, TableStoredBeforeTheViewerIsWholeInTheNextRunWhenTheExportFails) {
    const std::string& before = recycled_file();
    const std::vector<std::string> model = atom_positions(exported_model(folder_with("kept_reference_table", before)));

    show_model_of(before);
    LoneAtom lone;
    ASSERT_NO_FATAL_FAILURE(find_lone_atom(model, lone));
    const std::string xyz = lone.xyz;
    const std::pair<int, int> picked = {ATOMI.px[lone.entry], ATOMI.py[lone.entry]};
    reset_viewer_records();

    // The table goes to the end of the file (the model and its copy keep
    // their places), with as many items as make its spare item begin a
    // block past the file's end.
    ASSERT_FALSE(stored(12));
    ASSERT_TRUE(stored(15));
    ASSERT_TRUE(stored(30));
    int first = 0;
    XNXTF(first);
    int count = 1;
    while ((first + listxx::kHeaderLength + 3 * count) % kStoreBlockWords != 0) ++count;
    const int spare = first + listxx::kHeaderLength + 3 * count;
    ASSERT_LE(read_file(dir + "/struct.bin").size(), store_byte(spare)) << "the spare item lies inside the file";
    std::vector<Word> items(3 * static_cast<std::size_t>(count));
    for (std::size_t k = 0; k < items.size(); ++k) items[k] = word_of_int(static_cast<int32_t>(7 * k + 5));

    // The command, as run_command runs it: the export's main file is a
    // folder, which cannot be opened.
    DOTDAT.name[3] = padded("model.ins", 80);
    DOTDAT.name[4] = padded("model.plt", 80);
    fs::create_directory(dir + "/model.ins");
    queue({{CMD_EXPORT, {"shel"}}, {CMD_END, {}}});
    COMDIR.I(comdir::kRunning) = 1;
    XLIMI.I(xlimi::kListBase) = 1;
    SCREEN.I(screenw::kMode) = 1;
    // Delete, a click on the atom, Done, Quit.
    mouse_script().set({button_centre(32), picked, button_centre(47), button_centre(10)});
    int status = 0;
    try {
        CommandGuard guard;  // a command that fails is undone as the guard goes
        try {
            FRMXX(0, 12, count, count, 3, 0, 0, items.data());
            EXPORT(status);
        } catch (const CommandFailed&) {
            status = -1;
        }
        if (status >= 0 && !guard.commit()) status = -1;
    } catch (const ZanekStop& s) {
        ADD_FAILURE() << "the failing export stopped with code " << s.code << "\n" << listing();
    }
    EXPECT_EQ(status, -1);
    EXPECT_EQ(mouse_script().remaining(), 0);
    EXPECT_TRUE(listed(" *** error ***  open error, code =")) << listing();
    EXPECT_TRUE(listed(" The following Atom(s) has been deleted :")) << listing();
    units().close(kStoreUnit);
    let_go_structure_file();
    // The run is over: nothing of its copies is left beside the file.
    EXPECT_TRUE(working_copies(dir, "struct").empty());
    const std::string kept = read_file(dir + "/struct.bin");

    // The next run reads every list of the file, and exports the model
    // without the atom.
    const std::string next = folder_with("kept_table_next", kept);
    std::vector<std::string> edited = model;
    edited.erase(std::find(edited.begin(), edited.end(), std::string(xyz)));
    EXPECT_EQ(atom_positions(exported_model(next)), edited);
    const std::string after = read_file(next + "/" + kBin);
    ASSERT_GE(after.size(), store_byte(spare) + 4) << "the file ends inside list 12";
    const std::map<int, std::string> was = stored_lists(before).words, is = stored_lists(after).words;
    for (const auto& [type, words] : was) {
        ASSERT_EQ(is.count(type), 1u) << "list " << type << " is gone";
        if (type != 15 && type != 30) {
            EXPECT_TRUE(is.at(type) == words) << "list " << type << " has changed";
        }
    }
    ASSERT_EQ(is.count(12), 1u);
    EXPECT_EQ(is.size(), was.size() + 1);
    EXPECT_EQ(list_word_address(after, 12, 1), first);
    // The spare item, never written, reads as zeros.
    const std::string& table = is.at(12);
    ASSERT_EQ(table.size(), 4u * (listxx::kHeaderLength + 3 * (count + 1)));
    EXPECT_EQ(table.substr(table.size() - 12), std::string(12, '\0'));

    // The table as a run that opens the file reads it.
    write_file(dir + "/struct.bin", after);
    int new_file = 0;
    ASSERT_TRUE(open_structure_file(false, new_file)) << listing();
    int n = 0, i1 = 0, i2 = 0, i3 = 0, i4 = 0;
    std::vector<Word> back(items.size() + 3);
    SFLXX(0, 12, n, i1, i2, i3, i4, back.data(), static_cast<int>(back.size()));
    ASSERT_EQ(n, count);
    EXPECT_EQ(i1, count);
    EXPECT_EQ(i2, 3);
    for (std::size_t k = 0; k < items.size(); ++k) ASSERT_EQ(back[k].i, items[k].i) << k;
}

// Without an edit the user's Quit sends the model back unchanged: the
// failing export leaves every list but the model and its copy as they
// were, and the model the next run exports is the one before.
TEST_F(KeptEdit, QuitWithoutAnEditLeavesTheModelAsItWasWhenTheExportFails) {
    const std::string& before = recycled_file();
    const std::string reference = exported_model(folder_with("kept_reference_quit", before));
    const std::string dir = folder_with("kept_quit", before);
    RunResult r = failing_window_export(dir, click_row(10));
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_NE(r.listing.find(" *** error ***  open error, code ="), std::string::npos) << r.listing;
    EXPECT_EQ(r.listing.find(" The following Atom(s) has been deleted :"), std::string::npos);
    expect_lists_but_the_model_as_before(before, read_file(dir + "/" + kBin));
    EXPECT_EQ(exported_model(dir), reference);
}

// The same failing export in a batch run (no viewer, nothing sent back)
// leaves the structure file byte for byte as it was.
TEST_F(KeptEdit, FailingBatchExportLeavesTheFileAsItWas) {
    const std::string& before = recycled_file();
    const std::string dir = folder_with("kept_batch", before);
    fs::create_directory(dir + "/" + kIns);
    RunResult r = run_zanek(dir, export_job(false), "fail.cmd", "fail.lis");
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_NE(r.listing.find(" *** error ***  open error, code ="), std::string::npos) << r.listing;
    EXPECT_TRUE(read_file(dir + "/" + kBin) == before);
    EXPECT_TRUE(working_copies(dir, kJob).empty());
}

}  // namespace
}  // namespace zanek::test
