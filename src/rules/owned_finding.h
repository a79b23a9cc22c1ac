#pragma once
/// A finding that outlives the sink's `take`: what stylo-report keeps while
/// a file waits for its turn, and what stylo-lsp keeps for a document. It
/// holds its place as byte offsets of the file and as a line and columns,
/// and every fix the rules know for it, each tagged by how certain it is.
///
/// It owns what it says: its texts are the rules' own constants (the
/// keywords, the operators, the few warning texts), valid for the whole
/// run, so keeping a finding copies no text and allocates nothing. Only the
/// line's text is not kept: a line may be long and carry many findings, so
/// a holder that needs it keeps it once for them all.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rules/finding.h"

namespace stylo {

/// How sure the rules are that a fix is what the author meant.
enum class fix_certainty {
  /// Never in doubt (a keyword's missing blank): applied by stylo-report's
  /// --fix and an editor's fix-all, and an editor's preferred action.
  certain,
  /// One of several readings (an operator swapped, or a blank missing):
  /// offered by an editor for its author to choose, never applied in bulk.
  suggestion,
};

/// What a fix does, for the words an editor shows for it.
enum class fix_kind {
  blank_before_parenthesis,  ///< "if(" becomes "if ("
  operator_swapped,          ///< "=-" becomes "-="
  blank_inside_operator,     ///< "=-" becomes "= -"
};

/// One fix: an edit of the file that removes its finding and makes no other.
struct finding_fix {
  fix_certainty certainty;
  fix_kind kind;
  fix_edit edit;  ///< its offset one of the file's bytes; its text a rule's constant
};

/// The fixes of one finding, certain ones first. A rule offers at most
/// `capacity` readings of a finding; kept in place, they cost no allocation.
class finding_fixes {
 public:
  static constexpr std::size_t capacity = 2;
  void add(finding_fix f) {
    if (count_ < capacity) items_[count_++] = f;
  }
  const finding_fix* begin() const { return items_.data(); }
  const finding_fix* end() const { return items_.data() + count_; }
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }

 private:
  std::array<finding_fix, capacity> items_{};
  std::size_t count_ = 0;
};

struct owned_finding {
  rule_id rule;
  std::uint64_t begin;  ///< the file's offset of the finding's first byte
  std::uint64_t end;    ///< one past its last byte
  std::uint64_t line;   ///< as `finding::line`: ended by a line feed only, from 1
  std::size_t column;   ///< in bytes, from 1, as `finding::column`
  std::size_t end_column;
  std::string_view subject;    ///< "if", "=-", "==!"
  std::string_view suggested;  ///< "-=", "!=", or empty for a keyword
  std::string_view message;    ///< the warning's text, as stylo writes it
  finding_fixes fixes;

  /// The fix that --fix and fix-all apply, if the finding has one.
  const finding_fix* certain_fix() const;
  /// The sink-side finding again, for a sink that takes it as the scan
  /// made it: `file_name` and `line_text` are the holder's.
  finding as_finding(std::string_view file_name, std::string_view line_text) const;
};

/// The finding `found` as one that outlives the call, with every fix the
/// rules know for it (see finding_fixes.cc).
owned_finding own(const finding& found);

/// Every fix the rules know for `found` (finding_fixes.cc):
/// - the certain one the scan's finding carries (a keyword: a blank before
///   its parenthesis), which --fix and fix-all apply;
/// - for '=-', '=+', '=!' and '==!', two suggestions, since only the author
///   knows which was meant: the operator the rule suggests, swapped in, and
///   a blank inside the operator before its last sign. The swap is left out
///   where it would write nonsense or make another finding: when the byte
///   before the '=' is one of ! < > = + - * / % & | ^ (the '=' closes
///   another operator: a!=-1, x/=-1) or when the byte after the operator is
///   '=', '!', '+' or '-' (x=--y would become x-=-y).
finding_fixes fixes_of(const finding& found);

/// What an editor shows for a fix of `found`, in English: "Insert a space
/// after 'if'", "Change to '-='", "Insert a space: '= -'".
std::string fix_title(const owned_finding& found, const finding_fix& f);

}  // namespace stylo
