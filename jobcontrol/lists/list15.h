// The atom lists: list 15, the current atom model (peak list, isotropic B
// values, bond table, recycling state), and list 30, its previous copy.
#pragma once

namespace zanek {

namespace list15 {
constexpr int kType = 15;
constexpr int kPreviousType = 30;
constexpr int kLength = 5000;       // both lists always take 5000 words
constexpr int kHeaderLength = 15;
constexpr int kRecordLength = 9;
// Label code rebuilt from species and number within species.
int rebuild_label(int species, int number);
}  // namespace list15

// Stores atoms 1..N of ATOMS (with EMAP and, when BONDFLAG = 1, the bond
// table of TEMP) as list 15.
void FRM15(int n, int set, int bondflag);
// Loads list 15 into ATOMS from slot START (1 when outside 1..200), and
// EMAP and TEMP.
void SFL15(int& n, int& start, int& set, int& bondflag);
void CP1530();
void CP3015();
// Loads list 30's atoms into ATOMO from slot START.
void SFL30(int& n, int& start, int& set, int& bondflag);

}  // namespace zanek
