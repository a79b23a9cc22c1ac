#include "report/unified_diff.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <vector>

namespace stylo {
namespace {

constexpr std::size_t context_lines = 3;

// What is written out at once with a `spill`: the diff of a large file
// with millions of fixes goes out as it is made, not held whole.
constexpr std::size_t spill_at = std::size_t{1} << 20;

// The size from which texts with as many lines are paired line by line.
constexpr std::size_t paired_from_lines = 65536;

// The lines of a text, each with its line feed; the last without one when
// the text does not end in one.
std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t lf = text.find('\n', start);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

enum class op : char { same = ' ', removed = '-', added = '+' };

struct step {
  op kind;
  std::size_t old_line;  // index into the old lines, for `same` and `removed`
  std::size_t new_line;  // index into the new lines, for `same` and `added`
};

// The most differences the shortest script is looked for with: its time
// grows with the text's length times this, its memory with its square.
constexpr std::ptrdiff_t most_differences = 512;

// The shortest edit script between the two line sequences (Myers), for the
// middle that differs. False, with nothing appended, where it has more than
// `most_differences` steps.
bool middle_script(const std::vector<std::string_view>& a, std::size_t a0, std::size_t a1,
                   const std::vector<std::string_view>& b, std::size_t b0, std::size_t b1, std::vector<step>& out) {
  const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(a1 - a0), m = static_cast<std::ptrdiff_t>(b1 - b0);
  const std::ptrdiff_t limit = std::min<std::ptrdiff_t>(n + m, most_differences);
  const std::ptrdiff_t offset = limit + 1;
  std::vector<std::vector<std::ptrdiff_t>> trace;
  std::vector<std::ptrdiff_t> v(static_cast<std::size_t>(2 * limit + 3), 0);
  std::ptrdiff_t found = -1;
  for (std::ptrdiff_t d = 0; d <= limit && found < 0; ++d) {
    for (std::ptrdiff_t k = -d; k <= d; k += 2) {
      std::ptrdiff_t x = (k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1])) ? v[offset + k + 1]
                                                                                       : v[offset + k - 1] + 1;
      std::ptrdiff_t y = x - k;
      while (x < n && y < m && a[a0 + x] == b[b0 + y]) ++x, ++y;
      v[offset + k] = x;
      if (x >= n && y >= m) {
        found = d;
        break;
      }
    }
    trace.push_back(v);
  }
  if (found < 0) return false;
  // Walk the trace back from the end, then put the steps in order.
  std::vector<step> reversed;
  std::ptrdiff_t x = n, y = m;
  for (std::ptrdiff_t d = found; d > 0; --d) {
    const std::vector<std::ptrdiff_t>& prev = trace[static_cast<std::size_t>(d - 1)];
    const std::ptrdiff_t k = x - y;
    const bool down = k == -d || (k != d && prev[offset + k - 1] < prev[offset + k + 1]);
    const std::ptrdiff_t prev_k = down ? k + 1 : k - 1;
    const std::ptrdiff_t prev_x = prev[offset + prev_k], prev_y = prev_x - prev_k;
    while (x > prev_x && y > prev_y) {
      --x, --y;
      reversed.push_back({op::same, a0 + x, b0 + y});
    }
    if (down) {
      --y;
      reversed.push_back({op::added, a0 + x, b0 + y});
    } else {
      --x;
      reversed.push_back({op::removed, a0 + x, b0 + y});
    }
  }
  while (x > 0 && y > 0) {
    --x, --y;
    reversed.push_back({op::same, a0 + x, b0 + y});
  }
  out.insert(out.end(), reversed.rbegin(), reversed.rend());
  return true;
}

// Line i of each side paired with line i of the other, each run of changed
// lines written as git writes it: the old lines, then the new. Fixes change
// lines and never add or remove one, so for them this is a shortest script.
void paired_script(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b, std::size_t from,
                   std::size_t to, std::vector<step>& script) {
  for (std::size_t i = from; i < to;) {
    if (a[i] == b[i]) {
      script.push_back({op::same, i, i});
      ++i;
      continue;
    }
    std::size_t run_end = i;
    while (run_end < to && a[run_end] != b[run_end]) ++run_end;
    for (std::size_t j = i; j < run_end; ++j) script.push_back({op::removed, j, i});
    for (std::size_t j = i; j < run_end; ++j) script.push_back({op::added, run_end, j});
    i = run_end;
  }
}

std::vector<step> edit_script(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b) {
  std::vector<step> script;
  script.reserve(std::max(a.size(), b.size()));
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
  for (std::size_t i = 0; i < head; ++i) script.push_back({op::same, i, i});
  const std::size_t a_end = a.size() - tail, b_end = b.size() - tail;
  if (!middle_script(a, head, a_end, b, head, b_end, script)) {
    // Too many differences to look for the shortest script: lines paired
    // where both sides have as many, else all removed then all added. As
    // exact, only longer.
    if (a.size() == b.size()) {
      paired_script(a, b, head, a_end, script);
    } else {
      for (std::size_t i = head; i < a_end; ++i) script.push_back({op::removed, i, head});
      for (std::size_t j = head; j < b_end; ++j) script.push_back({op::added, a_end, j});
    }
  }
  for (std::size_t i = tail; i > 0; --i) script.push_back({op::same, a.size() - i, b.size() - i});
  return script;
}

// "-3,2" as git writes a hunk's range: the count left out when it is 1, and
// the line before the range given when it is empty.
void append_range(std::string& out, char sign, std::size_t first, std::size_t count) {
  out += sign;
  out += std::to_string(count == 0 ? first : first + 1);
  if (count != 1) {
    out += ',';
    out += std::to_string(count);
  }
}

void append_line(std::string& out, op kind, std::string_view line) {
  out += static_cast<char>(kind);
  out.append(line);
  if (line.empty() || line.back() != '\n') out += "\n\\ No newline at end of file\n";
}

// Git puts a tab after a name with a blank on the "---" and "+++" lines, so
// that patch does not end the name at the blank.
std::string file_line(std::string_view marker, std::string_view prefix, std::string_view name) {
  std::string line(marker);
  line += quoted_diff_name(prefix, name);
  if (name.find(' ') != std::string_view::npos) line += '\t';
  line += '\n';
  return line;
}


// The lines of a text one at a time, each with its line feed.
struct line_cursor {
  std::string_view text;
  std::size_t at = 0;
  bool next(std::string_view& line) {
    if (at >= text.size()) return false;
    const std::size_t lf = text.find('\n', at);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
    line = text.substr(at, end - at);
    at = end;
    return true;
  }
};

std::size_t count_lines(std::string_view text) {
  std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  if (!text.empty() && text.back() != '\n') ++lines;
  return lines;
}

// The diff of two texts with as many lines, line i paired with line i (the
// script paired_script gives), made as it is written: nothing held but a
// few positions, so that a file with millions of fixes is diffed in the
// memory of its two texts. Each hunk is walked twice, once to find where
// it ends (its header comes first) and once to write it.
void append_paired_hunks(std::string& out, std::string_view old_text, std::string_view new_text,
                         const std::function<void(std::string&)>& spill) {
  struct place {
    std::size_t old_at, new_at;
  };
  const std::size_t total = count_lines(old_text);
  line_cursor a{old_text}, b{new_text};
  std::size_t index = 0;
  place recent[context_lines + 1];  // the starts of the last lines, by index modulo
  std::size_t recent_count = 0;
  std::string_view x, y;
  for (;;) {
    const place here{a.at, b.at};
    if (!a.next(x) || !b.next(y)) break;
    if (x == y) {
      recent[index % (context_lines + 1)] = here;
      ++recent_count;
      ++index;
      continue;
    }
    // A change at `index`: the hunk starts up to `context_lines` before it.
    const std::size_t before = std::min(recent_count, context_lines);
    const std::size_t first = index - before;
    const place start = before == 0 ? here : recent[first % (context_lines + 1)];
    std::size_t last_change = index;
    for (std::size_t j = index + 1;; ++j) {
      if (!a.next(x) || !b.next(y)) break;
      if (x != y) {
        last_change = j;
      } else if (j - last_change > 2 * context_lines) {
        break;
      }
    }
    const std::size_t end = std::min(total, last_change + 1 + context_lines);
    out += "@@ ";
    append_range(out, '-', first, end - first);
    out += ' ';
    append_range(out, '+', first, end - first);
    out += " @@\n";
    // Written: same lines as they are, each run of changed lines as its
    // old lines, then its new ones.
    line_cursor ra{old_text, start.old_at}, rb{new_text, start.new_at};
    for (std::size_t i = first; i < end;) {
      const place run_start{ra.at, rb.at};
      ra.next(x);
      rb.next(y);
      if (spill && out.size() >= spill_at) spill(out);
      if (x == y) {
        append_line(out, op::same, x);
        ++i;
        continue;
      }
      std::size_t run_end = i + 1;
      for (; run_end < end; ++run_end) {
        const place after{ra.at, rb.at};
        std::string_view p, q;
        ra.next(p);
        rb.next(q);
        if (p == q) {
          ra.at = after.old_at;
          rb.at = after.new_at;
          break;
        }
      }
      line_cursor again{old_text, run_start.old_at};
      for (std::size_t k = i; k < run_end; ++k) {
        again.next(x);
        append_line(out, op::removed, x);
        if (spill && out.size() >= spill_at) spill(out);
      }
      again = {new_text, run_start.new_at};
      for (std::size_t k = i; k < run_end; ++k) {
        again.next(y);
        append_line(out, op::added, y);
        if (spill && out.size() >= spill_at) spill(out);
      }
      i = run_end;
    }
    if (spill && out.size() >= spill_at) spill(out);
    // On from the hunk's end, its last lines again the next one's context.
    a.at = ra.at;
    b.at = rb.at;
    index = end;
    recent_count = 0;
  }
}

}  // namespace

std::string quoted_diff_name(std::string_view prefix, std::string_view name) {
  const auto needs_quotes = [](unsigned char ch) { return ch < 0x20 || ch == '"' || ch == '\\' || ch >= 0x7F; };
  const std::string whole = std::string(prefix) + std::string(name);
  if (std::none_of(whole.begin(), whole.end(), [&](char ch) { return needs_quotes(static_cast<unsigned char>(ch)); })) {
    return whole;
  }
  std::string quoted = "\"";
  for (const char ch : whole) {
    const auto byte = static_cast<unsigned char>(ch);
    switch (ch) {
      case '\a': quoted += "\\a"; break;
      case '\b': quoted += "\\b"; break;
      case '\t': quoted += "\\t"; break;
      case '\n': quoted += "\\n"; break;
      case '\v': quoted += "\\v"; break;
      case '\f': quoted += "\\f"; break;
      case '\r': quoted += "\\r"; break;
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      default:
        if (needs_quotes(byte)) {
          quoted += '\\';
          quoted += static_cast<char>('0' + (byte >> 6));
          quoted += static_cast<char>('0' + ((byte >> 3) & 7));
          quoted += static_cast<char>('0' + (byte & 7));
        } else {
          quoted += ch;
        }
    }
  }
  quoted += '"';
  return quoted;
}

void append_unified_diff(std::string& out, std::string_view name, std::string_view old_text,
                         std::string_view new_text, const std::function<void(std::string&)>& spill) {
  if (old_text == new_text) return;
  out += "diff --git " + quoted_diff_name("a/", name) + ' ' + quoted_diff_name("b/", name) + '\n';
  out += file_line("--- ", "a/", name);
  out += file_line("+++ ", "b/", name);
  // Fixes change lines and never add or remove one: the texts of a large
  // file have as many lines, and are diffed line by line as they are
  // written, in little memory (the shortest script would hold some 60
  // bytes a line). A smaller text gets the shortest script, as git's.
  if (const std::size_t lines = count_lines(old_text);
      lines > paired_from_lines && lines == count_lines(new_text)) {
    append_paired_hunks(out, old_text, new_text, spill);
    return;
  }
  const std::vector<std::string_view> a = lines_of(old_text), b = lines_of(new_text);
  const std::vector<step> script = edit_script(a, b);

  std::size_t i = 0;
  while (i < script.size()) {
    while (i < script.size() && script[i].kind == op::same) ++i;
    if (i == script.size()) break;
    // The hunk: from `context_lines` before its first change to as many
    // after its last, taking in every change whose context would meet it.
    const std::size_t first = i >= context_lines ? i - context_lines : 0;
    std::size_t last_change = i;
    for (std::size_t j = i + 1; j < script.size(); ++j) {
      if (script[j].kind == op::same) {
        if (j - last_change > 2 * context_lines) break;
      } else {
        last_change = j;
      }
    }
    const std::size_t end = std::min(script.size(), last_change + 1 + context_lines);
    std::size_t old_count = 0, new_count = 0;
    for (std::size_t j = first; j < end; ++j) {
      if (script[j].kind != op::added) ++old_count;
      if (script[j].kind != op::removed) ++new_count;
    }
    // Where each side's range begins: the first line of either side the
    // hunk shows, or for a side that shows none, the line after which it
    // stands.
    std::size_t old_first = script[first].old_line, new_first = script[first].new_line;
    for (std::size_t j = first; j < end; ++j) {
      if (script[j].kind != op::added) {
        old_first = script[j].old_line;
        break;
      }
    }
    for (std::size_t j = first; j < end; ++j) {
      if (script[j].kind != op::removed) {
        new_first = script[j].new_line;
        break;
      }
    }
    out += "@@ ";
    append_range(out, '-', old_first, old_count);
    out += ' ';
    append_range(out, '+', new_first, new_count);
    out += " @@\n";
    for (std::size_t j = first; j < end; ++j) {
      const step& s = script[j];
      append_line(out, s.kind, s.kind == op::added ? b[s.new_line] : a[s.old_line]);
    }
    i = end;
    if (spill && out.size() >= spill_at) spill(out);
  }
}

}  // namespace stylo
