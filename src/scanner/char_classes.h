#pragma once
/// The character classes of the scan. Only ASCII ranges count: bytes
/// 0x80-0xFF belong to no class, whatever the locale and whether `char` is
/// signed (x86) or unsigned (ARM), so text in any 8-bit encoding scans the
/// same way everywhere.

namespace stylo {

constexpr bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool is_identifier_start(char c) { return is_letter(c) || c == '_'; }
constexpr bool is_word_char(char c) { return is_letter(c) || is_digit(c) || c == '_'; }

}  // namespace stylo
