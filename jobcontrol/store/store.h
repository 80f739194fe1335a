// The structure file as a word-addressed store: the block buffer pool and
// the file index with its typed lists. All arguments by reference, as the
// callers throughout the program use them.
#pragma once

#include "platform/word.h"

namespace zanek {

// --- Block buffer pool -------------------------------------------------
void XGIV(int base, int size, int& next);          // builds the pool in XBUFD
void XUP(int addr, const Word* array, int n);      // store words addr..addr+n-1
void XDWN(int addr, Word* array, int n);           // read words addr..addr+n-1
void XDUMP();                                      // write every dirty buffer
void XFNDB();                                      // make the current block resident
void XFTCH(int block, Word* buf, int n);           // read record block+1
void XSTOR(int block, const Word* buf, int n);     // write record block+1
int KWLNT(int n);                                  // n raised to whole blocks

// --- File index and lists ----------------------------------------------
void SETFI();                                      // new empty index, loaded
void SLDF();                                       // load the index; stop 1111 when corrupt
bool JSLDF(int dummy = 0);                         // load the index; true when corrupt
void SWLIN(int type, int serial, int first, int last, int part, int length);
void SRLIN(int type, int& serial, int& first, int& last, int& part, int& length);
void SOWL(int n, int type, int& serial, int& first, int& last, int& part, int& length);
void SFRML(int type, int n);                       // store the image at DATA(XLIMI(1))
void SRDLS(int type, int& serial, int i1, int& n); // read list into DATA(i1...)
void CANCELLA(int type);                           // delete a list
void XSAC(int type, int serial, int i1, int i2);   // store map entry, overflow check
void XPAS();                                       // print the store map
void SNXTF(int n);
void XNXTF(int& n);
void XLC();
void SLDL(int type, int& serial, int& i1, int& i2);
void XCLN(int type);
void XCSAE();

}  // namespace zanek
