// Byte scans for the hot loops over reply text: the first or last byte of a
// set, or the first pair of bytes from two sets, sixteen bytes at a time where
// the processor has SSE2 and eight at a time in a 64-bit word everywhere else.
// The *Wordwise functions are the 8-byte way on every processor.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/text.h"

// The scans are inlined wherever they are used, so that the compiler folds a
// constant set into the few vector operations it stands for.
#if defined(__GNUC__)
#define MERROWGATE_SCAN inline __attribute__((always_inline))
#else
#define MERROWGATE_SCAN inline
#endif

// The loops over a set's ranges are unrolled whatever the optimisation
// level: only then does a constant set fold into its vector operations (at
// -O2 GCC keeps a loop of three ranges, with each range's constants built
// again for every block).
#if defined(__GNUC__)
#define MERROWGATE_EACH_RANGE _Pragma("GCC unroll 4")
#else
#define MERROWGATE_EACH_RANGE
#endif

namespace platform {

// The byte values low to high, both included.
struct ByteRange {
  unsigned char low, high;
};

// A set of byte values made of a few ranges. Each range costs one or two
// vector operations a block, so a set is best written with the fewest: as
// the bytes it holds, or with AllBut as the bytes it leaves out.
class ByteSet {
 public:
  static constexpr int MaxRanges = 4;

  // At most MaxRanges ranges: a constant set with more does not compile.
  constexpr ByteSet(std::initializer_list<ByteRange> ranges) {
    for (const ByteRange& r : ranges) {
      if (count_ == MaxRanges) TooManyRanges();
      ranges_[count_++] = r;
    }
  }
  static constexpr ByteSet AllBut(std::initializer_list<ByteRange> ranges) {
    ByteSet set(ranges);
    set.negated_ = true;
    return set;
  }

  MERROWGATE_SCAN constexpr bool Contains(unsigned char c) const {
    bool in = false;
    MERROWGATE_EACH_RANGE
    for (int i = 0; i < count_; ++i) in = in || (c >= ranges_[i].low && c <= ranges_[i].high);
    return in != negated_;
  }

  // The high bit of each byte of `x` that is in the set (the bytes of a word
  // as LoadBytesLowFirst gives them). Exact per byte: no carry crosses into
  // the next byte.
  MERROWGATE_SCAN constexpr std::uint64_t WordMask(std::uint64_t x) const {
    std::uint64_t m = 0;
    MERROWGATE_EACH_RANGE
    for (int i = 0; i < count_; ++i) {
      const ByteRange r = ranges_[i];
      if (r.low == r.high) m |= ZeroBytes(x ^ (r.low * Ones));
      else if (r.low == 0) m |= Below(x, r.high + 1u);
      else if (r.high == 0xFF) m |= ~Below(x, r.low) & High;
      else m |= Below(x, r.high + 1u) & ~Below(x, r.low);
    }
    return negated_ ? ~m & High : m;
  }

#if defined(__SSE2__)
  // 0xFF in each byte of `v` that is in the set.
  MERROWGATE_SCAN __m128i VectorMask(__m128i v) const {
    const __m128i m = RangesMask(v);
    return negated_ ? _mm_xor_si128(m, _mm_set1_epi8(-1)) : m;
  }
  // 0xFF in each byte of `v` that is in one of the ranges (for a set made
  // with AllBut: each byte that is not in the set).
  MERROWGATE_SCAN __m128i RangesMask(__m128i v) const {
    __m128i m = _mm_setzero_si128();
    MERROWGATE_EACH_RANGE
    for (int i = 0; i < count_; ++i) {
      const ByteRange r = ranges_[i];
      __m128i in;
      if (r.low == r.high) {
        in = _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(r.low)));
      } else if (r.low == 0 && r.high == 0xFF) {
        in = _mm_set1_epi8(-1);
      } else {
        // Moved so that the range ends at 0x7F, the largest signed byte, it
        // is what lies above 0x7F - width, a signed comparison. (In this
        // order the comparison overwrites the moved bytes, not the constant,
        // which SSE2 would first have to copy.)
        // A range that begins at 0x80 needs no move the other way round: it
        // is what lies below 0x80 + width.
        const unsigned width = r.high - r.low + 1u;
        if (r.low == 0x80) in = _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 + width)));
        else
          in = _mm_cmpgt_epi8(_mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x7F - r.high))),
                              _mm_set1_epi8(static_cast<char>(0x7F - width)));
      }
      m = _mm_or_si128(m, in);
    }
    return m;
  }
#endif
  constexpr bool Negated() const { return negated_; }

 private:
  static void TooManyRanges() { std::abort(); }
  static constexpr std::uint64_t Ones = 0x0101010101010101ull, High = 0x8080808080808080ull, Low = ~High;
  // The high bit where the byte is zero.
  MERROWGATE_SCAN static constexpr std::uint64_t ZeroBytes(std::uint64_t y) { return ~(((y & Low) + Low) | y) & High; }
  // The high bit where the byte is below n (1 to 256). The low seven bits
  // plus 128 - n (or 256 - n) carry into the high bit exactly when they are
  // not below n (or n - 128).
  MERROWGATE_SCAN static constexpr std::uint64_t Below(std::uint64_t x, unsigned n) {
    if (n <= 128) return ~(((x & Low) + (128 - n) * Ones) | x) & High;
    return (~x | ~((x & Low) + (256 - n) * Ones)) & High;
  }

  ByteRange ranges_[MaxRanges] = {};
  int count_ = 0;
  bool negated_ = false;
};

namespace byte_scan {

// One block of text at a time: a mask with a flag (BitsPerByte bits) for
// each byte in the set, the first byte in the lowest bits.
struct Words {
  static constexpr std::ptrdiff_t Size = 8, BitsPerByte = 8;
  MERROWGATE_SCAN static std::uint64_t Mask(const char* p, const ByteSet& set) {
    return set.WordMask(LoadBytesLowFirst(p));
  }
};

#if defined(__SSE2__)
struct Vectors {
  static constexpr std::ptrdiff_t Size = 16, BitsPerByte = 1;
  MERROWGATE_SCAN static __m128i Load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  MERROWGATE_SCAN static std::uint64_t Mask(const char* p, const ByteSet& set) {
    return static_cast<unsigned>(_mm_movemask_epi8(set.VectorMask(Load(p))));
  }
};
#endif

MERROWGATE_SCAN const char* FindByByte(const char* p, const char* end, const ByteSet& set) {
  for (; p < end; ++p)
    if (set.Contains(static_cast<unsigned char>(*p))) return p;
  return end;
}

// Whole blocks, then one last block that overlaps the one before it (the
// bytes already looked at are shifted out); a text shorter than a block is
// left to the byte loop.
template <class Block>
MERROWGATE_SCAN const char* FindIn(const char* begin, const char* end, const ByteSet& set) {
  constexpr std::ptrdiff_t Size = Block::Size;
  if (end - begin < Size) return FindByByte(begin, end, set);
  const char* p = begin;
  for (; end - p >= Size; p += Size)
    if (const std::uint64_t m = Block::Mask(p, set)) return p + __builtin_ctzll(m) / Block::BitsPerByte;
  if (p == end) return end;
  const char* last = end - Size;
  const std::uint64_t m = Block::Mask(last, set) >> ((p - last) * Block::BitsPerByte);
  return m ? p + __builtin_ctzll(m) / Block::BitsPerByte : end;
}

// From the end: whole blocks, then one that overlaps the one after it.
template <class Block>
MERROWGATE_SCAN const char* FindLastIn(const char* begin, const char* end, const ByteSet& set) {
  constexpr std::ptrdiff_t Size = Block::Size, Bits = Block::BitsPerByte;
  auto highest = [](std::uint64_t m) { return (63 - __builtin_clzll(m)) / Bits; };
  if (end - begin < Size) {
    for (const char* p = end; p > begin;)
      if (set.Contains(static_cast<unsigned char>(*--p))) return p;
    return end;
  }
  const char* p = end;
  for (; p - begin >= Size; p -= Size)
    if (const std::uint64_t m = Block::Mask(p - Size, set)) return p - Size + highest(m);
  if (p == begin) return end;
  const std::uint64_t keep = (p - begin) * Bits;  // the bytes before p
  const std::uint64_t m = Block::Mask(begin, set) & ((std::uint64_t{1} << keep) - 1);
  return m ? begin + highest(m) : end;
}

template <class Block>
MERROWGATE_SCAN const char* FindPairIn(const char* begin, const char* end, const ByteSet& first,
                                       const ByteSet& second) {
  const char* p = begin;
  for (; end - p > Block::Size; p += Block::Size)  // each byte's neighbour too
    if (const std::uint64_t m = Block::Mask(p, first) & Block::Mask(p + 1, second))
      return p + __builtin_ctzll(m) / Block::BitsPerByte;
  for (; end - p > 1; ++p)
    if (first.Contains(static_cast<unsigned char>(p[0])) && second.Contains(static_cast<unsigned char>(p[1]))) return p;
  return end;
}

}  // namespace byte_scan

// The first byte of [begin, end) in `set`, or end.
MERROWGATE_SCAN const char* FindByteWordwise(const char* begin, const char* end, const ByteSet& set) {
  return byte_scan::FindIn<byte_scan::Words>(begin, end, set);
}

MERROWGATE_SCAN const char* FindByte(const char* begin, const char* end, const ByteSet& set) {
#if defined(__SSE2__)
  using byte_scan::Vectors;
  // Most of a long text is not in the set: 64 bytes a step until a block is.
  // A set made with AllBut is looked for as its ranges: every byte in them.
  // The byte is often near (the end of a word): the first block on its own.
  const char* p = begin;
  if (end - p >= 16) {
    if (const std::uint64_t m = Vectors::Mask(p, set)) return p + __builtin_ctzll(m);
    p += 16;
  }
  auto ranges = [&set](const char* at) { return set.RangesMask(Vectors::Load(at)); };
  if (set.Negated()) {
    while (end - p >= 64 && _mm_movemask_epi8(_mm_and_si128(_mm_and_si128(ranges(p), ranges(p + 16)),
                                                            _mm_and_si128(ranges(p + 32), ranges(p + 48)))) == 0xFFFF)
      p += 64;
  } else {
    while (end - p >= 64 && !_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(ranges(p), ranges(p + 16)),
                                                            _mm_or_si128(ranges(p + 32), ranges(p + 48)))))
      p += 64;
  }
  return end - p >= 16 ? byte_scan::FindIn<Vectors>(p, end, set) : FindByteWordwise(p, end, set);
#else
  return FindByteWordwise(begin, end, set);
#endif
}

// The last byte of [begin, end) in `set`, or end when there is none.
MERROWGATE_SCAN const char* FindLastByteWordwise(const char* begin, const char* end, const ByteSet& set) {
  return byte_scan::FindLastIn<byte_scan::Words>(begin, end, set);
}

MERROWGATE_SCAN const char* FindLastByte(const char* begin, const char* end, const ByteSet& set) {
#if defined(__SSE2__)
  if (end - begin >= 16) return byte_scan::FindLastIn<byte_scan::Vectors>(begin, end, set);
#endif
  return FindLastByteWordwise(begin, end, set);
}

// The first p in [begin, end - 1) with p[0] in `first` and p[1] in `second`, or end.
MERROWGATE_SCAN const char* FindBytePairWordwise(const char* begin, const char* end, const ByteSet& first,
                                                 const ByteSet& second) {
  return byte_scan::FindPairIn<byte_scan::Words>(begin, end, first, second);
}

MERROWGATE_SCAN const char* FindBytePair(const char* begin, const char* end, const ByteSet& first,
                                         const ByteSet& second) {
#if defined(__SSE2__)
  // Such pairs are rare: 64 bytes a step (each byte's neighbour too) until a
  // block holds one.
  using byte_scan::Vectors;
  auto pairs = [&first, &second](const char* at) {
    return _mm_and_si128(first.VectorMask(Vectors::Load(at)), second.VectorMask(Vectors::Load(at + 1)));
  };
  const char* p = begin;
  while (end - p > 64 && !_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(pairs(p), pairs(p + 16)),
                                                         _mm_or_si128(pairs(p + 32), pairs(p + 48)))))
    p += 64;
  return byte_scan::FindPairIn<Vectors>(p, end, first, second);
#else
  return FindBytePairWordwise(begin, end, first, second);
#endif
}

}  // namespace platform

#undef MERROWGATE_SCAN
#undef MERROWGATE_EACH_RANGE
