// The two rules, and the exact text of the warning lines.

#include <string>
#include <vector>

#include <gtest/gtest.h>

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

TEST(WarningLines, ExactText) {
  const std::string path = stylo_test::temp_path("scan.c");
  EXPECT_EQ(stylo_test::check_text("\n\n\n\n\n\nwhile(x) y=-1;\n"),
            path + "(7): warning: (style) Devrait mettre un espace entre 'while' et la parenthese. [guide 80]  [QVS]\n" +
                path + "(7): warning: '=-' devrait probablement etre '-='; sinon, ajoutez un espace entre.  [QVS]\n");
}

}  // namespace
