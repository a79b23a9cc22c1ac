#include "report/patch_reader.h"

#include <cstdint>

namespace stylo::report {
namespace {

std::string_view without_line_end(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

// git's C-style quoting undone: the escapes of quote_c_style, octal for
// any other byte.
bool unquote(std::string_view text, std::string& name) {
  name.clear();
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') return true;
    if (c != '\\') {
      name += c;
      continue;
    }
    if (++i == text.size()) return false;
    const char e = text[i];
    switch (e) {
      case 'a': name += '\a'; break;
      case 'b': name += '\b'; break;
      case 't': name += '\t'; break;
      case 'n': name += '\n'; break;
      case 'v': name += '\v'; break;
      case 'f': name += '\f'; break;
      case 'r': name += '\r'; break;
      case '"': name += '"'; break;
      case '\\': name += '\\'; break;
      default: {
        if (e < '0' || e > '3' || i + 2 >= text.size()) return false;
        unsigned value = 0;
        for (std::size_t k = i; k < i + 3; ++k) {
          if (text[k] < '0' || text[k] > '7') return false;
          value = value * 8 + static_cast<unsigned>(text[k] - '0');
        }
        name += static_cast<char>(value);
        i += 2;
      }
    }
  }
  return false;
}

// "123" or "123,45" at `at`, moved past; false when there is no number.
bool read_range(std::string_view text, std::size_t& at, std::uint64_t& start, std::uint64_t& count) {
  auto number = [&](std::uint64_t& value) {
    const std::size_t from = at;
    value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      if (value > (UINT64_MAX - 9) / 10) return false;
      value = value * 10 + static_cast<std::uint64_t>(text[at++] - '0');
    }
    return at > from;
  };
  if (!number(start)) return false;
  count = 1;
  if (at < text.size() && text[at] == ',') {
    ++at;
    if (!number(count)) return false;
  }
  return true;
}

// "@@ -a[,b] +c[,d] @@...": the old side's count, the new side's start and count.
bool read_hunk_header(std::string_view line, std::uint64_t& old_count, std::uint64_t& new_start,
                      std::uint64_t& new_count) {
  std::size_t at = 3;
  std::uint64_t old_start = 0;
  if (line.size() <= at || line[at] != '-') return false;
  ++at;
  if (!read_range(line, at, old_start, old_count)) return false;
  if (line.substr(at, 2) != " +") return false;
  at += 2;
  if (!read_range(line, at, new_start, new_count)) return false;
  return line.substr(at, 3) == " @@";
}

}  // namespace

bool patch_name(std::string_view text, std::string& name) {
  text = without_line_end(text);
  if (text.starts_with('"')) return unquote(text, name);
  // diff -u: the name, a tab, the file's time.
  if (const std::size_t tab = text.find('\t'); tab != std::string_view::npos) text = text.substr(0, tab);
  name.assign(text);
  return true;
}

std::string read_patch(std::string_view patch, changed_files& into) {
  line_set* file = nullptr;  // the file of the hunks that follow; none for /dev/null
  std::uint64_t old_left = 0, new_left = 0, new_line = 0;
  std::uint64_t line_number = 0;
  bool link = false;  // the file of this "diff --git" is a symbolic link
  std::uint64_t added_from = 0;  // the first of the "+" lines being read, or 0
  auto end_added = [&]() {
    if (added_from != 0 && file != nullptr) file->add_lines(added_from, new_line - 1);
    added_from = 0;
  };
  std::size_t at = 0;
  while (at < patch.size()) {
    std::size_t end = patch.find('\n', at);
    if (end == std::string_view::npos) end = patch.size();
    const std::string_view line = patch.substr(at, end - at);
    at = end + 1;
    ++line_number;
    if (old_left > 0 || new_left > 0) {
      // Inside a hunk, its counts tell where it ends: a "+++" or "---" here
      // is a line added or removed.
      const char kind = line.empty() || line == "\r" ? ' ' : line[0];
      if (kind == '+' && new_left > 0) {
        if (added_from == 0) added_from = new_line;
        ++new_line;
        --new_left;
        if (new_left == 0 && old_left == 0) end_added();
        continue;
      }
      end_added();
      if (kind == '-' && old_left > 0) {
        --old_left;
      } else if (kind == ' ' && old_left > 0 && new_left > 0) {
        --old_left;
        --new_left;
        ++new_line;
      } else if (kind != '\\') {
        // Cut short (a hand-edited patch): what follows is read afresh.
        old_left = new_left = 0;
      }
      if (old_left > 0 || new_left > 0 || kind == '\\') continue;
    }
    // git's header of a symbolic link: its "lines" are the link's target,
    // not the lines of the file it points to.
    if (line.starts_with("diff --git ")) {
      link = false;
      continue;
    }
    if ((line.starts_with("new file mode ") || line.starts_with("new mode ") || line.starts_with("index ")) &&
        without_line_end(line).ends_with(" 120000")) {
      link = true;
      continue;
    }
    if (line.starts_with("+++ ")) {
      std::string name;
      if (!patch_name(line.substr(4), name)) {
        return "the patch's line " + std::to_string(line_number) + " has a quoted name without its end quote";
      }
      if (name == "/dev/null" || link) {
        file = nullptr;
        continue;
      }
      if (name.starts_with("b/")) name.erase(0, 2);
      file = &into[name];
      continue;
    }
    if (line.starts_with("@@ ") && !line.starts_with("@@@")) {
      std::uint64_t old_count = 0, new_count = 0, new_start = 0;
      if (!read_hunk_header(without_line_end(line), old_count, new_start, new_count)) {
        return "the patch's line " + std::to_string(line_number) + " is not a hunk header '@@ -a,b +c,d @@'";
      }
      old_left = old_count;
      new_left = new_count;
      new_line = new_start;
    }
  }
  end_added();
  return {};
}

}  // namespace stylo::report
