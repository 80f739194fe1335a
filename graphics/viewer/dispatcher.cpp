// The viewer loop: draws the model, waits for the user's next action and
// carries it out, until the user quits or sends the model back. MODCOM
// hands the edited model back to the structure file as list 15 with the
// next-action code (0 none, 1 refine, 2 complete) that %export reads.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fourier/fourier_records.h"
#include "fourier/interpretation/interpretation.h"
#include "graphics/viewer/viewer.h"
#include "graphics/viewer/viewer_internal.h"
#include "graphics/window/window.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/store/safeguard.h"

namespace zanek {

namespace {

int g_last_action = 0;  // the last action code, kept from one call to the next

int scale_mode() { return CONTR.I(contr::kScaleMode); }

void draw() {
    ANGTOPIX();
    if (CRT.style <= 2)
        STICKSORD();
    else
        BALLS();
    for (int b = 1; b <= CRT.nbonds; ++b) CRT.bond_a[b] = std::abs(CRT.bond_a[b]);
    for (int i = 1; i <= ATOMI.count(); ++i) ATOMI.mark[i] = 0.0f;
    if (g_last_action == vac::kHardCopyOver) CONTR.I(contr::kScaleMode) = CONTR.I(contr::kSavedScaleMode);
}

void full() {
    SETSCALE(scale_mode());
    draw();
}

void refit(float a[9], float angle, int axis) {
    viewer::identity(a);
    CRT.angle = angle;
    CRT.axis_code = axis;
    COMBROT(a);
    viewer::reset_box();
    ROTATOMS(a, 1);
    full();
}

// Redraw after an edit: a fresh fit while the scale follows the model.
void after_edit(float a[9]) {
    if (scale_mode() == 1)
        refit(a, 0.0f, 0);
    else
        draw();
}

void use_chosen_style() { CRT.style = CONTR.I(contr::kStyle); }

void regroup(float a[9]) {
    MODCOM(0);
    INPCL.I(inpcl::kRegroup) = 1;
    int32_t icode[kMaxResultCodes] = {};
    int mode = interp_mode::kRecycle;
    MAINCL(icode, mode, UREQ.I(ureqw::kPrint));
    FRM15(CONST.I(konst::kAtomCount), CONST.I(konst::kSetNumber), 1);
    CONTR.I(contr::kSymmetry) = 0;
    SOLOIND(a, GENERAC.n1_kept);
    CONTR.I(contr::kScaleMode) = 1;
    CONTR.I(contr::kCellEdges) = 0;
}

}  // namespace

void MMENU(float a[9], int& f) {
    if (f == 0) {
        SETCOLR(1);
        int n = 0;
        GRAPHS(viewer::px_buffer(), viewer::py_buffer(), n, gop::kClearBelowTitle, std::string(80, ' '), 0);
        // The menu column was cleared with the rest: the first wait draws
        // the main menu again (after a Regroup too).
        XWI.menu_redraw = 1;
        full();
    }
    for (;;) {
        if (CONTR.I(contr::kDrawOnce) == 1) return;
        if (MESS.pending == 1) PRINTMESS();
        int c = menugroup::kMain;
        GETKEY(c);
        g_last_action = c;
        const int* x = viewer::px_buffer();
        const int* y = viewer::py_buffer();
        switch (c) {
        case vac::kQuit:
            MODCOM(0);
            XWI.menu_redraw = 1;
            f = 0;
            return;
        case 1: case 2: case 3: case 4: case 5: case 6:
            CRT.style = c;
            CONTR.I(contr::kStyle) = c;
            after_edit(a);
            break;
        case 7: case 8: case 9: case 10: case 11: case 12:
            refit(a, (c % 2 == 1) ? -5.0f : 5.0f, (c - 5) / 2);
            break;
        case 13: case 14: case 15: case 16: case 17: case 18:
            TRASLATE(c);
            draw();
            break;
        case vac::kEdges:
            CONTR.I(contr::kCellEdges) = CONTR.I(contr::kCellEdges) == 0 ? 1 : 0;
            refit(a, 0.0f, 0);
            break;
        case vac::kSymmetry:
            if (CONTR.I(contr::kSymmetry) == 0) {
                GENERAC.n1_kept = ATOMI.n1;
                CONTR.I(contr::kSymmetry) = 1;
                GENERA(a);
                CONTR.I(contr::kDrawOnce) = 0;
            } else {
                CONTR.I(contr::kSymmetry) = 0;
                SOLOIND(a, GENERAC.n1_kept);
            }
            full();
            break;
        case vac::kScale:
            if (scale_mode() == 3) {
                CONTR.I(contr::kScaleMode) = 1;
                refit(a, 0.0f, 0);
            } else {
                CONTR.I(contr::kScaleMode) = 3;
            }
            break;
        case vac::kDeletePicked:
            use_chosen_style();
            DELAT();
            after_edit(a);
            break;
        case vac::kDeletePolygon: case vac::kHidePolygon: case vac::kDisplayPolygon: case vac::kShowAll:
            use_chosen_style();
            DELHIDE(c);
            after_edit(a);
            break;
        case vac::kRelabel: {
            use_chosen_style();
            int k = y[1];
            RELAB(x[0], y[0], k);
            draw();
            break;
        }
        case vac::kRegroup:
            use_chosen_style();
            regroup(a);
            f = 2;
            return;
        case vac::kRefine: case vac::kComplete:
            use_chosen_style();
            MODCOM(c == vac::kRefine ? 1 : 2);
            XWI.menu_redraw = 1;
            f = 0;
            return;
        case vac::kHelp:
            use_chosen_style();
            draw();
            break;
        case vac::kHardCopy:
            full();
            break;
        case vac::kHardCopyOver:
            CONTR.I(contr::kSavedScaleMode) = scale_mode();
            CONTR.I(contr::kScaleMode) = 2;
            refit(a, 0.0f, 0);
            break;
        case 32: case 33: case 34:
            use_chosen_style();
            CHEPIANO(c - 31);
            full();
            break;
        case 37: case 38: case 39:
            use_chosen_style();
            CHEPIANO(c - 33);
            full();
            break;
        case vac::kDistances:
            DISTANCE();
            break;
        case vac::kAngle:
            CALCANGLE();
            break;
        case vac::kTorsion:
            TORSANGLE();
            break;
        case vac::kAddBonds: case vac::kDeleteBonds:
            ADDDELBONDS(c, GENERAC.n1_kept);
            draw();
            break;
        case vac::kInfo: {
            int k = 0;
            NUMTABLE(k);
            while (k != 0) {
                HISTOGR(k);
                if (k == 2)
                    NUMTABLE(k);
                else
                    break;
            }
            XWI.menu_redraw = 1;
            draw();
            break;
        }
        default:
            break;
        }
    }
}

void MODCOM(int action) {
    float a[9];
    SOLOIND(a, GENERAC.n1_kept);
    const int n = std::clamp(CONST.I(konst::kAtomCount), 0, kMaxAtoms);
    // New number of each atom (0: deleted).
    std::vector<int> renumber(static_cast<std::size_t>(ATOMI.count()) + 1, 0);
    int j = 0;
    for (int i = 1; i <= n; ++i) {
        if (i <= ATOMI.n1 && ATOMI.deleted(i)) continue;
        ++j;
        if (i <= ATOMI.count()) renumber[i] = j;
        if (j != i) {
            for (int w = 1; w <= 5; ++w) atom_coord(j, w) = atom_coord(i, w);
            atom_label(j) = atom_label(i);
            EMAP.W(emap::kDefaultB + j) = EMAP.W(emap::kDefaultB + i);
        }
    }
    CONST.I(konst::kAtomCount) = j;

    int kept = 0;
    const int model_bonds = std::max(0, CRT.nbonds - CRT.reserve);
    const int room = (static_cast<int>(TEMP.size()) - 1) / 2;
    for (int k = 1; k <= model_bonds && kept < room; ++k) {
        const int p = std::abs(CRT.bond_a[k]), q = std::abs(CRT.bond_b[k]);
        if (p < 1 || q < 1 || p > ATOMI.n1 || q > ATOMI.n1) continue;
        if (renumber[p] <= 0 || renumber[q] <= 0) continue;
        ++kept;
        bond_atom(kept, 1) = static_cast<float>(renumber[p]);
        bond_atom(kept, 2) = static_cast<float>(renumber[q]);
    }
    bond_count() = static_cast<float>(kept);

    EMAP.I(emap::kNextAction) = action;
    FRM15(j, CONST.I(konst::kSetNumber), 1);
    CP1530();
    // The edited model is the user's work: it stays stored even when the
    // command that showed the viewer fails afterwards.
    keep_stored_lists();
}

void REGRO() {
    INPCL.I(inpcl::kRegroup) = 1;
    int32_t icode[kMaxResultCodes] = {};
    int mode = interp_mode::kRecycle;
    MAINCL(icode, mode, UREQ.I(ureqw::kPrint));
    FRM15(CONST.I(konst::kAtomCount), CONST.I(konst::kSetNumber), 1);
}

}  // namespace zanek
