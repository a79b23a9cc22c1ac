// The two rules, and the exact text of the warning lines.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/check.h"
#include "rules/owned_finding.h"
#include "test_support.h"

namespace {

struct rule_case {
  std::string line;
  std::vector<std::string> expected;
};

TEST(KeywordRule, KeywordsAgainstParenthesis) {
  const rule_case cases[] = {
      {"if(x)", {"1:if"}},
      {"switch(c)", {"1:switch"}},
      {"for(;;)", {"1:for"}},
      {"} while(0);", {"1:while"}},
      {"else if(x)", {"1:if"}},
      {"if(a) while(b)", {"1:if", "1:while"}},
      {"f(if(a))", {"1:if"}},
      {"if (x)", {}},
      {"if\t(x)", {}},
      {"while\n(x)", {}},
      {"IF(x) If(x) elif(x) if_(x) xwhile( do( return(", {}},
      {"sizeof(x) else(", {}},
  };
  for (const rule_case& c : cases) stylo_test::expect_findings(c.line + "\n", c.expected, c.line);
}

TEST(AssignmentRule, MisspeltOperators) {
  const rule_case cases[] = {
      {"x=-1;", {"1:=-"}},
      {"x=+1;", {"1:=+"}},
      {"x=!y;", {"1:=!"}},
      {"a==!b", {"1:==!"}},
      {"a===!b", {"1:==!"}},
      {"a==!=b", {"1:==!"}},
      {"a==-1", {"1:=-"}},
      {"a!=-1", {"1:=-"}},
      {"a<=-1", {"1:=-"}},
      {"a>=+1", {"1:=+"}},
      {"a=-b=+c", {"1:=-", "1:=+"}},
      {"x = -1; x= -1; a==b; a = b; a+=1; a-=1; a=!", {"1:=!"}},
      {"x =\n-1", {}},
      {"a ==\n!b", {}},
      {"a==\t!b", {}},
      {"x/=-1", {"1:=-"}},
      {"s = \"=-\"; c = '=!'; /* =+ */ // ==!", {}},
  };
  for (const rule_case& c : cases) stylo_test::expect_findings(c.line + "\n", c.expected, c.line);
}

// Where a finding is: its byte columns in stylo's line (from 1, the end one
// past its last byte), the offset in the file of its fix's blank (counting
// every carriage return) and the line's text, the same from every scan.
TEST(Findings, ColumnsAndLineText) {
  const struct {
    std::string text, places;
  } cases[] = {
      {"if(x)\n", "1:1-4:if::fix@2|if(x)\n"},
      {"\t} while(0);\n", "1:4-10:while::fix@8|\t} while(0);\n"},
      {"a==!b\n", "1:2-5:==!:!=:|a==!b\n"},
      {"x/=-1\n", "1:3-5:=-:-=:|x/=-1\n"},
      {"/* \xc3\xa9 */ s=\"\xe2\x82\xac\"; if(x)\n", "1:19-22:if::fix@20|/* \xc3\xa9 */ s=\"\xe2\x82\xac\"; if(x)\n"},
      {"\nif(a)\r\n", "2:1-4:if::fix@3|if(a)\n"},
      {"a\rif(x) y=+1\r\n", "1:3-6:if::fix@4|a\rif(x) y=+1\n1:10-12:=+:+=:|a\rif(x) y=+1\n"},
      {"x=!y;\r", "1:2-4:=!:!=:|x=!y;\r\n"},
      {"for(;;)\x1a if(x)\n", "1:1-5:for::fix@3|for(;;)\n"},
      {"a;\r\nb;\r\nwhile(c)\r\n", "3:1-7:while::fix@13|while(c)\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(stylo_test::places_of(stylo_test::scan_kind::plain, c.text), c.places) << c.text;
    stylo_test::expect_findings(c.text, stylo_test::findings_of(stylo_test::scan_kind::plain, c.text), c.text);
  }
}

// A finding kept beyond the scan: its byte range in the file, its texts
// (which must outlive the scan's buffer) and each fix with its certainty,
// as "begin-end subject/suggested: fixes" where a fix reads
// "certainty kind@offset+length'text'". The kept findings are read only
// after the same checker has scanned another text over the buffer.
TEST(OwnedFindings, RangeTextsAndFixesOutliveTheScan) {
  const struct {
    std::string text;
    std::vector<std::string> kept;
  } cases[] = {
      {"if(x)\n", {"0-3 if/: certain blank@2+0' '"}},
      {"a;\r\nb;\r\nwhile(c)\r\n", {"8-14 while/: certain blank@13+0' '"}},
      {"x=-1;", {"1-3 =-/-=: suggestion swap@1+2'-=' suggestion blank@2+0' '"}},
      {"a==!b", {"1-4 ==!/!=: suggestion swap@1+3'!=' suggestion blank@3+0' '"}},
      // The swap would close another operator or make a new finding.
      {"a!=-1", {"2-4 =-/-=: suggestion blank@3+0' '"}},
      {"x=--y", {"1-3 =-/-=: suggestion blank@2+0' '"}},
      {"=-1", {"0-2 =-/-=: suggestion swap@0+2'-=' suggestion blank@1+0' '"}},
      {"x\n=+\n", {"2-4 =+/+=: suggestion swap@2+2'+=' suggestion blank@3+0' '"}},
      {"\xc3\xa9 if(a=!b)\r\n", {"3-6 if/: certain blank@5+0' '", "7-9 =!/!=: suggestion swap@7+2'!=' suggestion blank@8+0' '"}},
  };
  const auto describe = [](const stylo::owned_finding& f) {
    std::string out = std::to_string(f.begin);
    out.append("-").append(std::to_string(f.end)).append(" ").append(f.subject).append("/").append(f.suggested);
    out += ':';
    for (const stylo::finding_fix& fix : f.fixes) {
      out += fix.certainty == stylo::fix_certainty::certain ? " certain " : " suggestion ";
      out += fix.kind == stylo::fix_kind::operator_swapped ? "swap" : "blank";
      out.append("@").append(std::to_string(fix.edit.offset)).append("+").append(std::to_string(fix.edit.length));
      out.append("'").append(fix.edit.text).append("'");
    }
    return out;
  };
  struct keeper final : stylo::finding_sink {
    void take(const stylo::finding& found) override {
      kept.push_back(stylo::own(found));
      messages.emplace_back(found.message);
    }
    std::vector<stylo::owned_finding> kept;
    std::vector<std::string> messages;
  };
  struct ignorer final : stylo::finding_sink {
    void take(const stylo::finding&) override {}
  };
  stylo::checker checks;
  for (const auto& c : cases) {
    keeper keep;
    checks.check_text("k.c", c.text, keep);
    ignorer ignore;
    checks.check_text("other.c", std::string(c.text.size() + 64, '#') + "while(x) y=!z;\n", ignore);
    std::vector<std::string> got;
    for (std::size_t i = 0; i < keep.kept.size(); ++i) {
      got.push_back(describe(keep.kept[i]));
      EXPECT_EQ(keep.kept[i].message, keep.messages[i]) << c.text;
      const stylo::finding_fix* certain = keep.kept[i].certain_fix();
      EXPECT_EQ(certain != nullptr, keep.kept[i].rule == stylo::rule_id::keyword_space) << c.text;
    }
    EXPECT_EQ(got, c.kept) << c.text;
  }
}

TEST(WarningLines, ExactText) {
  const std::string path = stylo_test::temp_path("scan.c");
  EXPECT_EQ(stylo_test::check_text("\n\n\n\n\n\nwhile(x) y=-1;\n"),
            path + "(7): warning: (style) Devrait mettre un espace entre 'while' et la parenthese. [guide 80]  [QVS]\n" +
                path + "(7): warning: '=-' devrait probablement etre '-='; sinon, ajoutez un espace entre.  [QVS]\n");
}

}  // namespace
