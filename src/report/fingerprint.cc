#include "report/fingerprint.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "rules/rule_catalog.h"

namespace stylo::report {
namespace {

constexpr std::size_t slot_bits = 18;
constexpr std::size_t slot_count = std::size_t{1} << slot_bits;
// Past this many slots used in one file, clearing the whole table is
// cheaper than remembering which.
constexpr std::size_t touched_limit = 4096;

// A hash that takes eight bytes a step, read as a little-endian word on
// every system, so that a fingerprint is the same wherever it is made. Each
// piece ends with its length, so that moving a byte from one piece to the
// next changes the hash.
struct hasher {
  std::uint64_t state = 0xcbf29ce484222325u;
  void mix(std::uint64_t word) {
    state = (state ^ word) * 0x9e3779b97f4a7c15u;
    state ^= state >> 29;
  }
  void add(std::string_view piece) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(piece[i])); };
    std::size_t at = 0;
    for (; at + 8 <= piece.size(); at += 8) {
      std::uint64_t word = 0;
      for (std::size_t i = 0; i < 8; ++i) word |= byte(at + i) << (8 * i);
      mix(word);
    }
    std::uint64_t tail = 0;
    for (std::size_t i = 0; at + i < piece.size(); ++i) tail |= byte(at + i) << (8 * i);
    mix(tail);
    mix(piece.size());
  }
  void add(std::uint64_t number) { mix(number); }
};

// Spreads every input bit over the whole word (the finaliser of
// SplitMix64), so that the table slot and the digits shown both vary.
std::uint64_t mixed(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9u;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebu;
  return x ^ (x >> 31);
}

}  // namespace

std::array<char, 16> fingerprint_text(fingerprint value) {
  static constexpr char hex[] = "0123456789abcdef";
  std::array<char, 16> text;
  for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = hex[value & 15];
  return text;
}

bool parse_fingerprint(std::string_view text, fingerprint& value) {
  if (text.size() != 16) return false;
  value = 0;
  for (const char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value << 4 | static_cast<unsigned>(digit);
  }
  return true;
}

fingerprinter::fingerprinter()
    : slots_(static_cast<std::uint32_t*>(std::calloc(slot_count, sizeof(std::uint32_t)))) {
  if (slots_ == nullptr) throw std::bad_alloc();
}

fingerprinter::~fingerprinter() { std::free(slots_); }

void fingerprinter::new_file() {
  if (many_touched_) {
    std::memset(slots_, 0, slot_count * sizeof(std::uint32_t));
  } else {
    for (const std::uint32_t slot : touched_) slots_[slot] = 0;
  }
  touched_.clear();
  many_touched_ = false;
}

fingerprint fingerprinter::next(const finding& found, std::string_view uri) {
  hasher line_hash;
  line_hash.add(info_of(found.rule).id);
  line_hash.add(found.line_text);
  line_hash.add(static_cast<std::uint64_t>(found.column));
  const std::uint64_t key = mixed(line_hash.state);
  const std::uint32_t slot = static_cast<std::uint32_t>(key >> (64 - slot_bits));
  const std::uint32_t occurrence = slots_[slot]++;
  if (occurrence == 0 && !many_touched_) {
    if (touched_.size() < touched_limit) {
      touched_.push_back(slot);
    } else {
      many_touched_ = true;
    }
  }
  hasher whole;
  whole.add(uri);
  whole.add(key);
  whole.add(std::uint64_t{occurrence});
  return mixed(whole.state);
}

}  // namespace stylo::report
