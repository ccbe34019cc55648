#include "framework/TCmdLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every token as kind letter and word: N name, O option, V value.
std::vector<std::string> Tokens(const std::string& text)
{
  std::vector<std::string> out;
  TCmdLine line(text);
  for (TCmdLine::TKind k; (k = line.NextToken()) != TCmdLine::Done;)
  {
    std::string token(1, "?NOV"[k]);
    token.append(line.GetTokenWord());
    out.push_back(token);
  }
  EXPECT_EQ(line.NextToken(), TCmdLine::Done);   // stays done
  return out;
}

using V = std::vector<std::string>;

TEST(TCmdLineTest, OptionsValuesAndNamesSplitAsTheirLeadingCharacterSays)
{
  EXPECT_EQ(Tokens(""), V {});
  EXPECT_EQ(Tokens(" \t "), V {});
  EXPECT_EQ(Tokens("-unregister"), V {"Ounregister"});
  EXPECT_EQ(Tokens("/UNREGISTER"), V {"OUNREGISTER"});
  EXPECT_EQ(Tokens("- unregister"), V {"Ounregister"});
  EXPECT_EQ(Tokens("-"), V {"O"});
  EXPECT_EQ(Tokens("/"), V {"O"});
  EXPECT_EQ(Tokens("file.txt -u"), (V {"Nfile.txt", "Ou"}));
  EXPECT_EQ(Tokens("-unregister=yes"), (V {"Ounregister", "Vyes"}));
  EXPECT_EQ(Tokens("a/b=c d"), (V {"Na", "Ob", "Vc", "Nd"}));
  EXPECT_EQ(Tokens("-/x"), (V {"O", "Ox"}));
  EXPECT_EQ(Tokens("--u"), V {"O-u"});
  EXPECT_EQ(Tokens("=\t-"), (V {"V-"}));
}

} // namespace
