#pragma once
/// The bit operations of the fast scan's 64-bit masks. GCC and clang get
/// their builtins, which assume what the scan guarantees (no zero mask where
/// a bit is looked for); other compilers get the standard library's.

#include <bit>
#include <cstdint>

namespace stylo {

/// For the scan's hot functions, which must inline into the loop compiled
/// for each set of byte searches.
#if defined(__GNUC__) || defined(__clang__)
#define STYLO_ALWAYS_INLINE [[gnu::always_inline]] inline
#elif defined(_MSC_VER)
#define STYLO_ALWAYS_INLINE __forceinline
#else
#define STYLO_ALWAYS_INLINE inline
#endif

#if defined(__GNUC__) || defined(__clang__)
#define STYLO_LOWEST_BIT(mask) static_cast<unsigned>(__builtin_ctzll(mask))
#define STYLO_LEADING_ZEROS(mask) static_cast<unsigned>(__builtin_clzll(mask))
#else
#define STYLO_LOWEST_BIT(mask) static_cast<unsigned>(std::countr_zero(mask))
#define STYLO_LEADING_ZEROS(mask) static_cast<unsigned>(std::countl_zero(mask))
#endif

/// The position of the lowest set bit of a mask that is not zero.
inline unsigned lowest_bit(std::uint64_t mask) { return STYLO_LOWEST_BIT(mask); }

/// The position of the highest set bit of a mask that is not zero.
inline unsigned highest_bit(std::uint64_t mask) { return 63 - STYLO_LEADING_ZEROS(mask); }

/// The number of zero bits above the highest set bit of a mask that is not zero.
inline unsigned leading_zeros(std::uint64_t mask) { return STYLO_LEADING_ZEROS(mask); }

/// `a + b` into `sum`; true when the addition carried out of bit 63. GCC 12
/// does not see the carry in `sum < a` and compares afterwards; its builtin
/// takes the carry flag of the addition itself.
inline bool add_carries(std::uint64_t a, std::uint64_t b, std::uint64_t& sum) {
#if defined(__GNUC__) || defined(__clang__)
  return __builtin_add_overflow(a, b, &sum);
#else
  sum = a + b;
  return sum < a;
#endif
}

#undef STYLO_LOWEST_BIT
#undef STYLO_LEADING_ZEROS

}  // namespace stylo
