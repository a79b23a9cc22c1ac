// stylo-lsp in process: where findings land in the protocol's positions,
// what each quick fix does, and the answer to each kind of malformed input.

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lsp/code_actions.h"
#include "lsp/command_line.h"
#include "lsp/findings.h"
#include "lsp/framing.h"
#include "lsp/line_edits.h"
#include "lsp/positions.h"
#include "lsp/server.h"

namespace {

using stylo::lsp::json;
using stylo::lsp::position_encoding;

// A server fed whole messages, its answers kept.
struct session {
  std::vector<json> sent;
  std::vector<std::string> notes;  // the server's own log
  stylo::lsp::server server{[this](std::string_view body) { sent.push_back(json::parse(body)); },
                            [this](std::string_view line) { notes.emplace_back(line); }};

  void send(const json& message) { server.handle(raw_dump(message)); }
  // JSON as an editor that keeps a document's raw bytes writes it: bytes
  // that are not UTF-8 go out as they are.
  static std::string raw_dump(const json& value) {
    if (!value.is_string()) {
      if (!value.is_structured()) return value.dump();
      std::string out = value.is_array() ? "[" : "{";
      bool first = true;
      for (auto it = value.begin(); it != value.end(); ++it) {
        if (!first) out += ',';
        first = false;
        if (value.is_object()) out += json(it.key()).dump() + ":";
        out += raw_dump(*it);
      }
      return out + (value.is_array() ? "]" : "}");
    }
    std::string out = "\"";
    for (unsigned char c : value.get_ref<const std::string&>()) {
      if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
      } else if (c < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += escaped;
      } else {
        out += static_cast<char>(c);
      }
    }
    return out + "\"";
  }
  void notify(const std::string& method, const json& params) {
    send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
  }
  void start(position_encoding encoding) {
    // UTF-8 offered with UTF-32, which it must win over; UTF-32 after
    // UTF-16, which it must win over too.
    const json encodings = encoding == position_encoding::utf8    ? json{"utf-32", "utf-8", "utf-16"}
                           : encoding == position_encoding::utf32 ? json{"utf-16", "utf-32"}
                                                                  : json{"utf-16"};
    send({{"jsonrpc", "2.0"}, {"id", 0}, {"method", "initialize"},
          {"params", {{"capabilities", {{"general", {{"positionEncodings", encodings}}}}}}}});
    notify("initialized", json::object());
  }
  void open(const std::string& text) {
    notify("textDocument/didOpen",
           {{"textDocument", {{"uri", "file:///t.c"}, {"languageId", "c"}, {"version", 1}, {"text", text}}}});
  }
  // The last diagnostics published that start on `line`.
  std::vector<json> diagnostics_on(std::uint64_t line) const {
    for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
      if (it->value("method", "") != "textDocument/publishDiagnostics") continue;
      std::vector<json> out;
      for (const json& d : (*it)["params"]["diagnostics"]) {
        if (d["range"]["start"]["line"] == line) out.push_back(d);
      }
      return out;
    }
    return {};
  }
  // The ranges of the last diagnostics published, as [line, start, line, end].
  std::vector<std::vector<std::uint64_t>> last_ranges() const {
    for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
      if (it->value("method", "") != "textDocument/publishDiagnostics") continue;
      std::vector<std::vector<std::uint64_t>> out;
      for (const json& d : (*it)["params"]["diagnostics"]) {
        const json& r = d["range"];
        out.push_back({r["start"]["line"], r["start"]["character"], r["end"]["line"], r["end"]["character"]});
      }
      return out;
    }
    ADD_FAILURE() << "no diagnostics were published";
    return {};
  }
};

json range(std::uint64_t l0, std::uint64_t c0, std::uint64_t l1, std::uint64_t c1) {
  return {{"start", {{"line", l0}, {"character", c0}}}, {"end", {{"line", l1}, {"character", c1}}}};
}

struct position_case {
  const char* name;
  std::string text;
  position_encoding encoding;
  std::vector<json> edits;  // each a contentChanges entry, applied in order
  std::vector<std::vector<std::uint64_t>> ranges;
};

TEST(LspPositions, FindingsLandOnTheirText) {
  const auto utf8 = position_encoding::utf8, utf16 = position_encoding::utf16, utf32 = position_encoding::utf32;
  const std::vector<position_case> cases = {
      {"ascii", "if(x) y=-1;\n", utf16, {}, {{0, 0, 0, 3}, {0, 7, 0, 9}}},
      {"two-byte letters, utf-16", "\xC3\xA9\xC3\xA9 if(x)\n", utf16, {}, {{0, 3, 0, 6}}},
      {"two-byte letters, utf-8", "\xC3\xA9\xC3\xA9 if(x)\n", utf8, {}, {{0, 5, 0, 8}}},
      {"emoji: a surrogate pair", "/*\xF0\x9F\x98\x80*/x=!y\n", utf16, {}, {{0, 7, 0, 9}}},
      {"emoji, utf-8", "/*\xF0\x9F\x98\x80*/x=!y\n", utf8, {}, {{0, 9, 0, 11}}},
      {"emoji, utf-32 (code points, as Emacs counts)", "/*\xF0\x9F\x98\x80*/x=!y\n", utf32, {}, {{0, 6, 0, 8}}},
      {"bytes that are not UTF-8 count one unit each", "\xE9\xFF\xE2\x82 while(1)", utf16, {}, {{0, 5, 0, 11}}},
      {"bytes that are not UTF-8, utf-32", "\xE9\xFF\xE2\x82 \xC3\xA9 while(1)", utf32, {}, {{0, 7, 0, 13}}},
      {"CR LF", "a;\r\nb=-1;\r\nfor(;;);\r\n", utf16, {}, {{1, 1, 1, 3}, {2, 0, 2, 4}}},
      {"a lone CR ends the protocol's line, not stylo's", "x;\r  if(a)\rb==!c\n", utf16, {},
       {{1, 2, 1, 5}, {2, 1, 2, 4}}},
      {"a lone CR inside a comment", "/* \r if( */ x=+1\n", utf16, {}, {{1, 9, 1, 11}}},
      {"Ctrl-Z ends stylo's reading", "if(a)\x1a if(b)\nwhile(c)\n", utf16, {}, {{0, 0, 0, 3}}},
      {"an edit joins two lines", "if\n(x)\n", utf16, {{{"range", range(0, 2, 1, 0)}, {"text", ""}}}, {{0, 0, 0, 3}}},
      {"an edit splits a line and adds one", "x=-1;\n", utf8,
       {{{"range", range(0, 1, 0, 1)}, {"text", " \r\nwhile("}}, {{"range", range(1, 6, 1, 6)}, {"text", "1)"}}},
       {{1, 0, 1, 6}, {1, 8, 1, 10}}},
      {"an edit after an emoji, utf-16", "\xF0\x9F\x98\x80 x\n", utf16,
       {{{"range", range(0, 3, 0, 4)}, {"text", "if(y)"}}}, {{0, 3, 0, 6}}},
      {"an edit after an emoji, utf-32: a blank typed after 'for'", "\xF0\x9F\x98\x80 for(;;) x=+1;\n", utf32,
       {{{"range", range(0, 5, 0, 5)}, {"text", " "}}}, {{0, 12, 0, 14}}},
      {"a full change", "if(x)\n", utf16, {{{"text", "\n\nz=-1"}}}, {{2, 1, 2, 3}}},
      {"a change past the end is taken at the end", "x", utf16, {{{"range", range(5, 0, 9, 9)}, {"text", "=-1"}}},
       {{0, 1, 0, 3}}},
  };
  for (const position_case& c : cases) {
    SCOPED_TRACE(c.name);
    session s;
    s.start(c.encoding);
    s.open(c.text);
    for (std::size_t i = 0; i < c.edits.size(); ++i) {
      s.notify("textDocument/didChange", {{"textDocument", {{"uri", "file:///t.c"}, {"version", 2 + i}}},
                                          {"contentChanges", json::array({c.edits[i]})}});
    }
    EXPECT_EQ(s.last_ranges(), c.ranges);
    EXPECT_EQ(s.sent.back()["params"]["version"], 1 + c.edits.size());
    EXPECT_EQ(s.sent.front()["result"]["capabilities"]["positionEncoding"], stylo::lsp::name_of(c.encoding));
  }
}

// Applies `edit` to `text`, then checks that exactly `removed` of the
// original findings went and the others stayed, shifted by the edit.
void expect_only_finding_removed(const std::string& text, std::size_t removed, const stylo::lsp::byte_edit& edit) {
  std::vector<stylo::owned_finding> before, after;
  stylo::checker checks;
  stylo::lsp::find_in(checks, text, before);
  std::string changed = text;
  changed.replace(edit.begin, edit.end - edit.begin, edit.text);
  stylo::lsp::find_in(checks, changed, after);
  const long shift = static_cast<long>(edit.text.size()) - static_cast<long>(edit.end - edit.begin);
  std::vector<std::pair<std::size_t, std::string_view>> want, got;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (i == removed) continue;
    const std::size_t at = before[i].begin >= edit.end ? before[i].begin + shift : before[i].begin;
    want.push_back({at, before[i].message});
  }
  for (const auto& f : after) got.push_back({f.begin, f.message});
  EXPECT_EQ(got, want) << "after the edit the text reads: " << changed;
}

struct fix_case {
  std::string text;
  // For each finding, in order: its fixes as "title => text after".
  std::vector<std::vector<std::string>> fixes;
};

TEST(LspQuickFixes, EachFixRemovesExactlyItsFinding) {
  const std::vector<fix_case> cases = {
      {"if(x) y;", {{"Insert a space after 'if' => if (x) y;"}}},
      {"} while(0);", {{"Insert a space after 'while' => } while (0);"}}},
      {"x=-1;", {{"Change to '-=' => x-=1;", "Insert a space: '= -' => x= -1;"}}},
      {"x=+1;", {{"Change to '+=' => x+=1;", "Insert a space: '= +' => x= +1;"}}},
      {"x=!y;", {{"Change to '!=' => x!=y;", "Insert a space: '= !' => x= !y;"}}},
      {"a==!b", {{"Change to '!=' => a!=b", "Insert a space: '== !' => a== !b"}}},
      {"a!=-1", {{"Insert a space: '= -' => a!= -1"}}},
      {"a<=-1", {{"Insert a space: '= -' => a<= -1"}}},
      {"a>=+1", {{"Insert a space: '= +' => a>= +1"}}},
      {"a==-1", {{"Insert a space: '= -' => a== -1"}}},
      {"x/=-1", {{"Insert a space: '= -' => x/= -1"}}},
      {"a!==!b", {{"Insert a space: '== !' => a!== !b"}}},
      {"x=--y", {{"Insert a space: '= -' => x= --y"}}},
      {"x=-!y", {{"Insert a space: '= -' => x= -!y"}}},
      {"x=-=!y", {{"Insert a space: '= -' => x= -=!y"}, {"Insert a space: '= !' => x=-= !y"}}},
      {"x =! y=+1", {{"Change to '!=' => x != y=+1", "Insert a space: '= !' => x = ! y=+1"},
                     {"Change to '+=' => x =! y+=1", "Insert a space: '= +' => x =! y= +1"}}},
      {"if(a=-1)", {{"Insert a space after 'if' => if (a=-1)"},
                    {"Change to '-=' => if(a-=1)", "Insert a space: '= -' => if(a= -1)"}}},
  };
  stylo::checker checks;
  for (const fix_case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<stylo::owned_finding> findings;
    stylo::lsp::find_in(checks, c.text, findings);
    ASSERT_EQ(findings.size(), c.fixes.size());
    for (std::size_t i = 0; i < findings.size(); ++i) {
      std::vector<std::string> got;
      for (const stylo::lsp::fix& f : stylo::lsp::fixes_for(findings[i])) {
        std::string after = c.text;
        after.replace(f.edit.begin, f.edit.end - f.edit.begin, f.edit.text);
        got.push_back(f.title + " => " + after);
        EXPECT_EQ(f.preferred, findings[i].rule == stylo::rule_id::keyword_space) << f.title;
        expect_only_finding_removed(c.text, i, f.edit);
      }
      EXPECT_EQ(got, c.fixes[i]);
    }
  }
}

// How clients turn a position into a place in their text: by UTF-16 units
// (as the protocol means), by characters (lsp-mode counts the UTF-16 units
// it is given as characters) or by bytes (Vim's ALE); each stops at the
// line's end.
enum class client_count { utf16_units, characters, bytes };

std::size_t client_offset(const std::string& text, const json& at, client_count count) {
  const std::size_t start = stylo::lsp::offset_of(text, {at["line"].get<std::uint64_t>(), 0}, position_encoding::utf8);
  const std::size_t end = stylo::lsp::line_at(text, start).end;
  std::uint64_t left = at["character"].get<std::uint64_t>();
  std::size_t offset = start;
  while (left > 0 && offset < end) {
    const std::size_t length = stylo::lsp::utf8_sequence_length(std::string_view(text).substr(offset, end - offset));
    const std::size_t bytes = length == 0 ? 1 : length;
    const std::uint64_t units = count == client_count::bytes ? bytes : count == client_count::utf16_units && bytes == 4 ? 2 : 1;
    if (units > left) break;
    left -= units;
    offset += bytes;
  }
  return offset;
}

// The text after a client applies `edits`, all placed in the text before.
std::string applied_as(std::string text, const json& edits, client_count count) {
  std::vector<std::tuple<std::size_t, std::size_t, std::string>> placed;
  for (const json& e : edits) {
    placed.emplace_back(client_offset(text, e["range"]["start"], count), client_offset(text, e["range"]["end"], count),
                        e["newText"].get<std::string>());
  }
  std::sort(placed.begin(), placed.end());
  for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
    text.replace(std::get<0>(*it), std::get<1>(*it) - std::get<0>(*it), std::get<2>(*it));
  }
  return text;
}

std::size_t keyword_findings(const std::string& text) {
  std::vector<stylo::owned_finding> findings;
  stylo::checker checks;
  stylo::lsp::find_in(checks, text, findings);
  return static_cast<std::size_t>(std::count_if(findings.begin(), findings.end(), [](const auto& f) {
    return f.rule == stylo::rule_id::keyword_space;
  }));
}

struct whole_line_case {
  const char* name;
  std::string text;
  std::string fixed;       // after fix-all
  std::size_t line_edits;  // fix-all's edits: one per changed line
};

// Every fix replaces whole lines, so that it lands right whichever way the
// client counts columns; and a request a few columns off the finding, or
// anywhere on its line, still gets the line's fixes.
TEST(LspQuickFixes, WholeLinesLandRightInEveryClient) {
  const std::vector<whole_line_case> cases = {
      {"CR LF, an emoji before the keyword", "if(a) x=-1;\r\n\xF0\x9F\x98\x80 while(b)\n",
       "if (a) x=-1;\r\n\xF0\x9F\x98\x80 while (b)\n", 2},
      {"last line without line end, two findings on it", "x;\n\xC3\xA9 if(a) for(;;)", "x;\n\xC3\xA9 if (a) for (;;)", 1},
      {"lone CRs end the protocol's lines", "if(a)\rwhile(b)\r", "if (a)\rwhile (b)\r", 2},
      {"an empty line between", "\xF0\x9F\x98\x80if(a)\r\n\r\nswitch(c)", "\xF0\x9F\x98\x80if (a)\r\n\r\nswitch (c)", 2},
      {"operators only", "/* if( */ x=-1;\n", "/* if( */ x=-1;\n", 0},
  };
  const client_count counts[] = {client_count::utf16_units, client_count::characters, client_count::bytes};
  for (const whole_line_case& c : cases) {
    SCOPED_TRACE(c.name);
    session s;
    s.send({{"jsonrpc", "2.0"}, {"id", 0}, {"method", "initialize"}, {"params", {{"capabilities", json::object()}}}});
    s.open(c.text);
    s.send({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "textDocument/codeAction"},
            {"params", {{"textDocument", {{"uri", "file:///t.c"}}}, {"range", range(0, 0, 0, 0)},
                        {"context", {{"diagnostics", json::array()}, {"only", {"source.fixAll"}}}}}}});
    const json& all = s.sent.back()["result"];
    ASSERT_EQ(all.size(), c.line_edits == 0 ? 0u : 1u);
    if (c.line_edits != 0) {
      const json& edits = all[0]["edit"]["changes"]["file:///t.c"];
      EXPECT_EQ(edits.size(), c.line_edits);
      for (client_count count : counts) EXPECT_EQ(applied_as(c.text, edits, count), c.fixed);
    }
    // Each keyword's quick fix, asked for at columns on and off its line's
    // findings, removes one keyword finding and adds one blank.
    const std::size_t before = keyword_findings(c.text);
    std::uint64_t lines = 1;
    for (std::size_t at = 0; stylo::lsp::line_at(c.text, at).next > stylo::lsp::line_at(c.text, at).end;
         at = stylo::lsp::line_at(c.text, at).next) {
      ++lines;
    }
    for (std::uint64_t line = 0; line < lines; ++line) {
      for (std::uint64_t character : {0u, 1u, 4u, 200u}) {
        s.send({{"jsonrpc", "2.0"}, {"id", 2}, {"method", "textDocument/codeAction"},
                {"params", {{"textDocument", {{"uri", "file:///t.c"}}}, {"range", range(line, character, line, character)},
                            {"context", {{"diagnostics", json::array()}, {"only", {"quickfix"}}}}}}});
        for (const json& action : s.sent.back()["result"]) {
          if (!action.value("isPreferred", false)) continue;
          EXPECT_EQ(action["diagnostics"][0]["range"]["start"]["line"], line);
          for (client_count count : counts) {
            const std::string after = applied_as(c.text, action["edit"]["changes"]["file:///t.c"], count);
            EXPECT_EQ(after.size(), c.text.size() + 1) << action["title"];
            EXPECT_EQ(keyword_findings(after), before - 1) << action["title"] << ": " << after;
          }
        }
      }
    }
    // From column 200, past every finding on it, a line was offered one
    // preferred fix when its last finding, the nearest, is a keyword; and
    // each keyword finding its own, by its diagnostic named with that column.
    std::size_t offered = 0, lines_ending_in_keywords = 0, named_offered = 0;
    for (std::uint64_t line = 0; line < lines; ++line) {
      s.send({{"jsonrpc", "2.0"}, {"id", 3}, {"method", "textDocument/codeAction"},
              {"params", {{"textDocument", {{"uri", "file:///t.c"}}}, {"range", range(line, 200, line, 200)},
                          {"context", {{"diagnostics", json::array()}, {"only", {"quickfix"}}}}}}});
      for (const json& action : s.sent.back()["result"]) offered += action.value("isPreferred", false);
      const std::vector<json> on_line = s.diagnostics_on(line);
      lines_ending_in_keywords += !on_line.empty() && on_line.back()["code"] == "keyword-space";
      for (const json& d : on_line) {
        if (d["code"] != "keyword-space") continue;
        json wrong = d;
        wrong["range"] = range(line, 200, line, 200);
        s.send({{"jsonrpc", "2.0"}, {"id", 4}, {"method", "textDocument/codeAction"},
                {"params", {{"textDocument", {{"uri", "file:///t.c"}}}, {"range", range(line, 200, line, 200)},
                            {"context", {{"diagnostics", json::array({wrong})}, {"only", {"quickfix"}}}}}}});
        for (const json& action : s.sent.back()["result"]) named_offered += action.value("isPreferred", false);
      }
    }
    EXPECT_EQ(offered, lines_ending_in_keywords);
    EXPECT_EQ(named_offered, before);
  }
}

struct fitting_case {
  const char* name;
  std::string text;
  json range;  // the request's
  // The diagnostics the request names: each a published one, by its index,
  // its start moved to `character` when that is not -1; or another
  // server's, when `index` is -1.
  struct named {
    int index;
    long character = -1;
  };
  std::vector<named> diagnostics;
  // Each action offered, in order: "*" when preferred, its title, and the
  // text after the client applies it.
  std::vector<std::string> actions;
};

// The quick fixes fit the request: those of the diagnostics it names, found
// again by rule and line and the nearest column whatever the client's
// columns; otherwise those of the findings the range touches; and never
// more than one preferred.
TEST(LspQuickFixes, ActionsFitTheRequest) {
  const std::string one = "if(a) a=-1;\n", two = "if(a) if(b) x;\n", emoji = "\xF0\x9F\x98\x80 if(a) if(b)\n";
  const std::string ifs_fixed_first = "if (a) if(b) x;\n", ifs_fixed_second = "if(a) if (b) x;\n";
  const std::string four = "\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80";
  const std::string five = four + "\xF0\x9F\x98\x80";
  const std::string emoji4 = four + " if(a) if(b)\n", emoji4_fixed_first = four + " if (a) if(b)\n",
                    emoji4_fixed_second = four + " if(a) if (b)\n";
  const std::string emoji5 = five + " if(a) if(b)\n", emoji5_fixed_second = five + " if(a) if (b)\n";
  const std::vector<fitting_case> cases = {
      {"cursor on if( beside an operator", one, range(0, 1, 0, 1), {}, {"*Insert a space after 'if' => if (a) a=-1;\n"}},
      {"cursor on the operator", one, range(0, 8, 0, 8), {},
       {"Change to '-=' => if(a) a-=1;\n", "Insert a space: '= -' => if(a) a= -1;\n"}},
      {"the keyword's diagnostic named, the whole line asked", one, range(0, 0, 0, 11), {{0}},
       {"*Insert a space after 'if' => if (a) a=-1;\n"}},
      {"the operator's diagnostic named", one, range(0, 0, 0, 11), {{1}},
       {"Change to '-=' => if(a) a-=1;\n", "Insert a space: '= -' => if(a) a= -1;\n"}},
      {"two keywords, the second named", two, range(0, 0, 0, 14), {{1}},
       {"*Insert a space after 'if' => " + ifs_fixed_second}},
      {"two keywords, the first named", two, range(0, 0, 0, 14), {{0}},
       {"*Insert a space after 'if' => " + ifs_fixed_first}},
      {"the second named three columns off", two, range(0, 9, 0, 9), {{1, 9}},
       {"*Insert a space after 'if' => " + ifs_fixed_second}},
      {"the second named at a column nearer the first", two, range(0, 2, 0, 2), {{1, 2}},
       {"*Insert a space after 'if' => " + ifs_fixed_first}},
      {"both named: one preferred", two, range(0, 0, 0, 14), {{0}, {1}},
       {"*Insert a space after 'if' => " + ifs_fixed_first, "Insert a space after 'if' => " + ifs_fixed_second}},
      {"both named, cursor on the operator: its fixes first, none preferred", one, range(0, 8, 0, 8), {{0}, {1}},
       {"Change to '-=' => if(a) a-=1;\n", "Insert a space: '= -' => if(a) a= -1;\n",
        "Insert a space after 'if' => if (a) a=-1;\n"}},
      {"both named, cursor on the second: it is preferred", two, range(0, 7, 0, 7), {{0}, {1}},
       {"*Insert a space after 'if' => " + ifs_fixed_second, "Insert a space after 'if' => " + ifs_fixed_first}},
      {"both named in bytes after an emoji, the cursor in UTF-16 on the second", emoji, range(0, 9, 0, 9), {{0, 5}, {1, 11}},
       {"*Insert a space after 'if' => \xF0\x9F\x98\x80 if(a) if (b)\n",
        "Insert a space after 'if' => \xF0\x9F\x98\x80 if (a) if(b)\n"}},
      {"four emoji before, both named in bytes (Neovim 0.7), the cursor in UTF-16 on the first", emoji4,
       range(0, 9, 0, 9), {{0, 17}, {1, 23}},
       {"*Insert a space after 'if' => " + emoji4_fixed_first, "Insert a space after 'if' => " + emoji4_fixed_second}},
      {"five emoji before, the second named in code points (lsp-mode)", emoji5, range(0, 12, 0, 12), {{1, 12}},
       {"*Insert a space after 'if' => " + emoji5_fixed_second}},
      {"one named twice", two, range(0, 0, 0, 14), {{1}, {1, 7}}, {"*Insert a space after 'if' => " + ifs_fixed_second}},
      {"the whole line, none named: the nearest preferred", two, range(0, 0, 0, 14), {},
       {"*Insert a space after 'if' => " + ifs_fixed_first, "Insert a space after 'if' => " + ifs_fixed_second}},
      {"cursor on the second, none named", two, range(0, 7, 0, 7), {}, {"*Insert a space after 'if' => " + ifs_fixed_second}},
      {"cursor past both, none named: the line's, the nearest preferred", two, range(0, 13, 0, 13), {},
       {"*Insert a space after 'if' => " + ifs_fixed_second, "Insert a space after 'if' => " + ifs_fixed_first}},
      {"another server's diagnostic only: the range's", one, range(0, 1, 0, 1), {{-1}},
       {"*Insert a space after 'if' => if (a) a=-1;\n"}},
      {"a diagnostic on a line with no such finding", "x;\nif(a)\n", range(0, 0, 0, 0), {{5}}, {}},
      {"operators apart by their message, the column wrong", "x=-1; y=+2;\n", range(0, 0, 0, 0), {{1, 0}},
       {"Change to '+=' => x=-1; y+=2;\n", "Insert a space: '= +' => x=-1; y= +2;\n"}},
      {"an emoji before, the client counting bytes", emoji, range(0, 11, 0, 11), {{1, 11}},
       {"*Insert a space after 'if' => \xF0\x9F\x98\x80 if(a) if (b)\n"}},
  };
  for (const fitting_case& c : cases) {
    SCOPED_TRACE(c.name);
    session s;
    s.start(position_encoding::utf16);
    s.open(c.text);
    std::vector<json> published = s.diagnostics_on(0);
    if (c.text.find('\n') + 1 < c.text.size()) {
      for (const json& d : s.diagnostics_on(1)) published.push_back(d);
    }
    json named = json::array();
    for (const fitting_case::named& n : c.diagnostics) {
      if (n.index < 0) {
        named.push_back({{"range", c.range}, {"source", "clangd"}, {"code", "keyword-space"}, {"message", "other"}});
        continue;
      }
      if (static_cast<std::size_t>(n.index) >= published.size()) {
        // A stale one: a rule's diagnostic on a line without such a finding.
        named.push_back({{"range", range(0, 0, 0, 1)}, {"source", "stylo"}, {"code", "keyword-space"}, {"message", ""}});
        continue;
      }
      json d = published[static_cast<std::size_t>(n.index)];
      if (n.character >= 0) d["range"]["start"]["character"] = n.character;
      named.push_back(d);
    }
    s.send({{"jsonrpc", "2.0"}, {"id", 9}, {"method", "textDocument/codeAction"},
            {"params", {{"textDocument", {{"uri", "file:///t.c"}}}, {"range", c.range},
                        {"context", {{"diagnostics", named}, {"only", {"quickfix"}}}}}}});
    std::vector<std::string> got;
    for (const json& action : s.sent.back()["result"]) {
      std::string line = action.value("isPreferred", false) ? "*" : "";
      line.append(action["title"].get<std::string>()).append(" => ");
      line.append(applied_as(c.text, action["edit"]["changes"]["file:///t.c"], client_count::utf16_units));
      got.push_back(line);
      if (!c.diagnostics.empty() && c.diagnostics[0].index >= 0) {
        // The action names the client's own diagnostic, as it was sent.
        EXPECT_TRUE(std::find(named.begin(), named.end(), action["diagnostics"][0]) != named.end());
      }
    }
    EXPECT_EQ(got, c.actions);
  }
}

// The command line: a server takes no argument (--stdio, which some clients
// pass, changes nothing); a person gets help or the version at once; any
// other argument is an error, however it is mixed with the others.
TEST(LspCommandLine, EachArgumentItsAnswer) {
  using action = stylo::lsp::command_line::action;
  const struct {
    std::vector<std::string> arguments;
    action what;
    std::string problem;
  } cases[] = {
      {{}, action::serve, ""},
      {{"--stdio"}, action::serve, ""},
      {{"--help"}, action::help, ""},
      {{"-h"}, action::help, ""},
      {{"--version"}, action::version, ""},
      {{"--version", "--help"}, action::help, ""},
      {{"--help", "--version"}, action::help, ""},
      {{"--stdio", "--version"}, action::version, ""},
      {{"--verbose"}, action::usage_error, "unknown argument '--verbose'"},
      {{"--help", "file.c"}, action::usage_error, "unknown argument 'file.c'"},
      {{"-"}, action::usage_error, "unknown argument '-'"},
      {{""}, action::usage_error, "unknown argument ''"},
      {{"--stdio=1"}, action::usage_error, "unknown argument '--stdio=1'"},
  };
  for (const auto& c : cases) {
    const stylo::lsp::command_line got = stylo::lsp::read_command_line(c.arguments);
    EXPECT_EQ(got.what, c.what) << testing::PrintToString(c.arguments);
    EXPECT_EQ(got.problem, c.problem) << testing::PrintToString(c.arguments);
  }
  EXPECT_EQ(stylo::lsp::usage_text().rfind("Usage: stylo-lsp", 0), 0u);
  EXPECT_EQ(stylo::lsp::version_text().rfind("stylo-lsp ", 0), 0u);
}

// In the codes of a malformed case: a window/logMessage the server sent.
constexpr int logged = 1;

struct malformed_case {
  const char* name;
  std::string stream;  // framed by hand: the framing itself is under test
  std::vector<int> codes;  // each message sent: an answer's error code, 0 for a result, or `logged`
  int exit_status;         // -1: the server is still running
  std::size_t notes = 0;   // lines the server wrote to its own log
};

std::string framed(const std::string& body) { return stylo::lsp::frame(body); }

// `inner` inside `depth` arrays, or objects ({"a": ...}).
std::string nested(std::size_t depth, const std::string& inner, bool objects = false) {
  std::string out;
  for (std::size_t i = 0; i < depth; ++i) out += objects ? "{\"a\":" : "[";
  out += inner;
  out.append(depth, objects ? '}' : ']');
  return out;
}

TEST(LspMalformedInput, EachGetsItsAnswerAndTheServerGoesOn) {
  const std::string init = framed(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}})");
  const std::string shutdown_body = R"({"jsonrpc":"2.0","id":9,"method":"shutdown"})";
  const std::string shutdown = framed(shutdown_body);
  const auto length = [&](std::size_t n) { return "Content-Length: " + std::to_string(n) + "\r\n\r\n"; };
  const std::string exit = framed(R"({"jsonrpc":"2.0","method":"exit"})");
  const std::string pull = framed(R"({"jsonrpc":"2.0","id":5,"method":"textDocument/diagnostic","params":{"textDocument":{"uri":"file:///n.c"}}})");
  const std::vector<malformed_case> cases = {
      {"a request before initialize", pull + init, {-32002, 0}, -1},
      {"a notification before initialize is dropped", framed(R"({"jsonrpc":"2.0","method":"initialized"})") + init, {0}, -1},
      {"broken JSON", init + framed("{\"jsonrpc\":") + pull, {0, -32700, 0}, -1},
      {"not an object", init + framed("[1,2]") + framed("7"), {0, -32600, -32600}, -1},
      {"no jsonrpc member", init + framed(R"({"id":3,"method":"shutdown"})"), {0, -32600}, -1},
      {"an id of the wrong kind", init + framed(R"({"jsonrpc":"2.0","id":[1],"method":"shutdown"})"), {0, -32600}, -1},
      {"unknown method", init + framed(R"({"jsonrpc":"2.0","id":4,"method":"foo/bar"})"), {0, -32601}, -1},
      {"unknown notifications, $/ or not", init + framed(R"({"jsonrpc":"2.0","method":"$/setTrace","params":{}})") +
           framed(R"({"jsonrpc":"2.0","method":"foo/bar"})") + framed(R"({"jsonrpc":"2.0","method":"$/cancelRequest","params":{"id":1}})"),
       {0}, -1},
      {"wrong params", init + framed(R"({"jsonrpc":"2.0","id":6,"method":"textDocument/codeAction","params":{"textDocument":{}}})") +
           framed(R"({"jsonrpc":"2.0","id":7,"method":"textDocument/diagnostic","params":{"textDocument":{"uri":3}}})"),
       {0, -32602, -32602}, -1},
      {"initialize twice", init + init, {0, -32600}, -1},
      {"a header without Content-Length", init + "Content-Type: x\r\n\r\n" + pull, {0, -32700, 0}, -1},
      {"a length that is not a number, then a good message", init + "Content-Length: 1x\r\n\r\n{}" + pull, {0, -32700, 0}, -1},
      {"a header line without a colon", "garbage\r\n\r\n" + init, {-32700, 0}, -1},
      {"a huge length", init + "Content-Length: 99999999999999999999\r\n\r\n" + pull, {0, -32700, 0}, -1},
      // A wrong length: the bytes after the body it gives are no header.
      {"a length one byte short", init + length(shutdown_body.size() - 1) + shutdown_body + pull, {0, -32700, -32700, 0}, -1},
      {"a length one byte long costs the message it takes from",
       init + length(shutdown_body.size() + 1) + shutdown_body + pull + pull, {0, -32700, -32700, 0}, -1},
      {"a length short of the header lines of the next message",
       init + length(20) + shutdown_body + "Content-Type: x\r\n" + pull, {0, -32700, -32700, 0}, -1},
      {"blank lines between messages", init + "\r\n\n" + pull + "\r\n", {0, 0}, -1},
      {"spaced header names, Content-Type first",
       init + "content-type : x\r\n  CONTENT-LENGTH\t: " + std::to_string(shutdown_body.size()) + "\r\n\r\n" + shutdown_body,
       {0, 0}, -1},
      {"a header the protocol does not have, first", "X-Foo: 1\r\n" + init, {0}, -1},
      {"bytes between messages", init + "x}" + pull + "\"}" + pull + " :" + pull, {0, -32700, 0, -32700, 0, -32700, 0}, -1},
      {"a request after shutdown", init + shutdown + pull, {0, 0, -32600}, -1},
      {"exit after shutdown", init + shutdown + exit, {0, 0}, 0},
      {"exit without shutdown", init + exit, {0}, 1},
      {"exit before initialize", exit, {}, 1},
      // Null params are absent params, whatever the method.
      {"initialize with null params", framed(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":null})"), {0}, -1},
      {"shutdown and exit with null params, as eglot sends them",
       init + framed(R"({"jsonrpc":"2.0","id":9,"method":"shutdown","params":null})") +
           framed(R"({"jsonrpc":"2.0","method":"exit","params":null})"),
       {0, 0}, 0},
      {"exit with null params without shutdown", init + framed(R"({"jsonrpc":"2.0","method":"exit","params":null})"), {0}, 1},
      {"notifications with null params", init + framed(R"({"jsonrpc":"2.0","method":"initialized","params":null})") +
           framed(R"({"jsonrpc":"2.0","method":"workspace/didChangeConfiguration","params":null})") +
           framed(R"({"jsonrpc":"2.0","method":"textDocument/didSave","params":null})") + pull,
       {0, 0}, -1},
      {"a document notification with null params is logged", init +
           framed(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":null})"), {0, logged}, -1},
      {"a request with null params", init + framed(R"({"jsonrpc":"2.0","id":2,"method":"textDocument/diagnostic","params":null})") +
           framed(R"({"jsonrpc":"2.0","id":3,"method":"shutdown","params":null})"), {0, -32602, 0}, -1},
      // A notification is never answered, whatever is wrong with it.
      {"broken notifications are logged, not answered", init +
           framed(R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":5})") +
           framed(R"({"method":"initialized"})") + framed(R"({"jsonrpc":"2.0","method":7})") +
           framed(R"({"jsonrpc":"1.0","method":"textDocument/didClose","params":"x"})") + pull,
       {0, logged, logged, logged, logged, 0}, -1},
      {"a broken notification before initialize goes to the server's log",
       framed(R"({"jsonrpc":"2.0","method":"initialized","params":5})") + init, {0}, -1, 1},
      {"a broken notification after shutdown goes to the server's log",
       init + shutdown + framed(R"({"jsonrpc":"2.0","method":"foo","params":true})"), {0, 0}, -1, 1},
      {"exit with params of the wrong kind still exits", init + shutdown +
           framed(R"({"jsonrpc":"2.0","method":"exit","params":1})"), {0, 0}, 0},
      {"an id of the wrong kind is answered, with a null id", init + framed(R"({"jsonrpc":"2.0","id":null,"method":"initialized"})"),
       {0, -32600}, -1},
      // Nesting as deep as a message's length allows, a raw byte at the
      // bottom: answered or logged like any other message.
      {"deep arrays in a notification", init + framed(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"x":)" +
           nested(300000, "\"\xFF\"") + "}}") + pull, {0, logged, 0}, -1},
      {"deep objects in a request", init + framed(R"({"jsonrpc":"2.0","id":2,"method":"textDocument/codeAction","params":)" +
           nested(300000, "\"\xFF\"", true) + "}") + pull, {0, -32602, 0}, -1},
      {"deep arrays as the message, as its id and as its version",
       init + framed(nested(300000, "\"\xFF\"")) + framed(R"({"jsonrpc":"2.0","method":"x","id":)" + nested(300000, "1") + "}") +
           framed(R"({"jsonrpc":)" + nested(300000, "\"\xFF\"") + R"(,"id":3,"method":"shutdown"})") + pull,
       {0, -32600, -32600, -32600, 0}, -1},
      {"deep arrays, not closed", init + framed(R"({"jsonrpc":"2.0","id":2,"method":"x","params":)" + std::string(300000, '[')) + pull,
       {0, -32700, 0}, -1},
  };
  for (const malformed_case& c : cases) {
    SCOPED_TRACE(c.name);
    session s;
    stylo::lsp::message_reader reader;
    // Byte by byte, so that every split of a header is met as well; the
    // deep messages in pieces of a page, which is as good and far quicker.
    const std::size_t piece = c.stream.size() > 65536 ? 4096 : 1;
    for (std::size_t at = 0; at < c.stream.size(); at += piece) {
      reader.feed(std::string_view(c.stream).substr(at, piece));
      std::string body, problem;
      for (;;) {
        const auto status = reader.next(body, problem);
        if (status == stylo::lsp::message_reader::status::need_more) break;
        if (status == stylo::lsp::message_reader::status::message) {
          s.server.handle(body);
        } else {
          s.server.malformed_header(problem);
        }
      }
    }
    std::vector<int> codes;
    for (const json& m : s.sent) {
      if (m.contains("method")) {
        EXPECT_EQ(m["method"], "window/logMessage");
        codes.push_back(logged);
      } else {
        codes.push_back(m.contains("error") ? m["error"]["code"].get<int>() : 0);
      }
    }
    EXPECT_EQ(codes, c.codes);
    EXPECT_EQ(s.notes.size(), c.notes);
    if (c.exit_status >= 0) {
      EXPECT_TRUE(s.server.exited());
      EXPECT_EQ(s.server.exit_status(), c.exit_status);
    } else {
      EXPECT_FALSE(s.server.exited());
    }
  }
}

TEST(LspDocuments, EveryByteAndCodePointSurvivesTheJson) {
  struct {
    const char* name;
    std::string json_text;  // a document's text as the JSON of the message writes it
    std::string text;       // the text the server must hold
  } cases[] = {
      {"raw bytes alone", "\xE9t\xE9 \xFF\xC0\x80", "\xE9t\xE9 \xFF\xC0\x80"},
      {"U+10FF80 and U+10FFFF beside a raw byte", "\xF4\x8F\xBE\x80\xE9\xF4\x8F\xBF\xBF", "\xF4\x8F\xBE\x80\xE9\xF4\x8F\xBF\xBF"},
      {"U+10FF7F, twice, beside a raw byte", "\xF4\x8F\xBD\xBF\xF4\x8F\xBD\xBF\xFF\xF4\x8F\xBD\xBF\xF4\x8F\xBE\x81",
       "\xF4\x8F\xBD\xBF\xF4\x8F\xBD\xBF\xFF\xF4\x8F\xBD\xBF\xF4\x8F\xBE\x81"},
      {"the same code points escaped", "\\uDBFF\\uDF80 \\udbff\\udfff \\uDBFF\\uDF7F \\uDBFF\\uDF7E\xE9",
       "\xF4\x8F\xBE\x80 \xF4\x8F\xBF\xBF \xF4\x8F\xBD\xBF \xF4\x8F\xBD\xBE\xE9"},
      {"an escaped backslash before an escape", "\\\\\\uDBFF\\uDF80\\\\uDBFF\xE9", "\\\xF4\x8F\xBE\x80\\uDBFF\xE9"},
      {"the bytes of a carried code point, cut short", "\xF4\x8F\xBE \xF4\x8F\xBD", "\xF4\x8F\xBE \xF4\x8F\xBD"},
      {"U+10FFFF without a raw byte", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    session s;
    s.start(position_encoding::utf8);
    s.server.handle(
        "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/didOpen\",\"params\":{\"textDocument\":{\"uri\":\"file:///t.c\","
        "\"version\":1,\"text\":\"" + c.json_text + " if(x)\"}}}");
    ASSERT_NE(s.server.find_document("file:///t.c"), nullptr);
    EXPECT_EQ(s.server.find_document("file:///t.c")->text, c.text + " if(x)");
    const std::uint64_t at = c.text.size() + 1;
    EXPECT_EQ(s.last_ranges(), (std::vector<std::vector<std::uint64_t>>{{0, at, 0, at + 3}}));
  }
}

TEST(LspDocuments, ClosingClearsAndRawBytesSurviveTheJson) {
  session s;
  s.start(position_encoding::utf8);
  // A Latin-1 document sent as raw bytes: the JSON around them is not UTF-8.
  s.server.handle(
      "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/didOpen\",\"params\":{\"textDocument\":{\"uri\":\"file:///t.c\","
      "\"version\":1,\"text\":\"\xE9t\xE9 if(x)\"}}}");
  EXPECT_EQ(s.server.find_document("file:///t.c")->text, "\xE9t\xE9 if(x)");
  EXPECT_EQ(s.last_ranges(), (std::vector<std::vector<std::uint64_t>>{{0, 4, 0, 7}}));
  s.notify("textDocument/didClose", {{"textDocument", {{"uri", "file:///t.c"}}}});
  EXPECT_EQ(s.last_ranges(), (std::vector<std::vector<std::uint64_t>>{}));
  EXPECT_EQ(s.server.find_document("file:///t.c"), nullptr);
}

}  // namespace
