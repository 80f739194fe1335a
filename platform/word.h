// A record of 4-byte words, as the structure file and the shared records
// hold them: one word carries an INTEGER (int32) or a REAL (IEEE binary32)
// in the same bits. Accessors are 1-based, like the word numbers of the
// record layouts; copying a word copies its bits, never converts it.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zanek {

union Word {
    int32_t i;
    float r;
};
static_assert(sizeof(Word) == 4, "a word is four bytes");

inline Word word_of_int(int32_t v) { Word w; w.i = v; return w; }
inline Word word_of_real(float v) { Word w; w.r = v; return w; }

template <std::size_t N>
struct Record {
    std::array<Word, N> w{};

    static constexpr std::size_t size() { return N; }
    int32_t& I(std::size_t k) { assert(k >= 1 && k <= N); return w[k - 1].i; }
    float& R(std::size_t k) { assert(k >= 1 && k <= N); return w[k - 1].r; }
    int32_t I(std::size_t k) const { assert(k >= 1 && k <= N); return w[k - 1].i; }
    float R(std::size_t k) const { assert(k >= 1 && k <= N); return w[k - 1].r; }
    Word& W(std::size_t k) { assert(k >= 1 && k <= N); return w[k - 1]; }
    const Word& W(std::size_t k) const { assert(k >= 1 && k <= N); return w[k - 1]; }
    // Pointer to word k, for routines that take "the array from word k".
    Word* at(std::size_t k) { assert(k >= 1 && k <= N + 1); return w.data() + (k - 1); }
    const Word* at(std::size_t k) const { assert(k >= 1 && k <= N + 1); return w.data() + (k - 1); }
    void clear() { std::memset(w.data(), 0, sizeof(Word) * N); }
};

// Copy n words as bits.
inline void copy_words(Word* dst, const Word* src, std::size_t n) {
    if (n > 0) std::memmove(dst, src, n * sizeof(Word));
}

// Characters stored four to a word, byte 0 first (the job title in the
// structure file): pack/unpack without any change of the bytes.
inline void pack_chars(Word* dst, const char* src, std::size_t nwords) {
    std::memcpy(dst, src, nwords * 4);
}
inline void unpack_chars(char* dst, const Word* src, std::size_t nwords) {
    std::memcpy(dst, src, nwords * 4);
}

}  // namespace zanek
