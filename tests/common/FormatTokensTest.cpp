// The shared reader of quoted literals, and the format languages that use it
// agreeing on what a quote means.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Format.h"
#include "common/FormatTokens.h"

namespace hy {
namespace {

// The pieces of a format: literals in brackets, other characters as they are.
std::string Pieces(std::string_view format) {
  std::string out;
  for (TFormatScanner scan(format); !scan.AtEnd();) {
    std::string_view literal;
    if (scan.TakeLiteral(literal)) {
      out += "[" + std::string(literal) + "]";
    } else {
      out += scan.Peek();
      scan.Advance();
    }
  }
  return out;
}

TEST(FormatScanner, QuotedLiteralsOfBothKindsAndUnclosedOnes) {
  EXPECT_EQ(Pieces("a\"b;c\"d"), "a[b;c]d");
  EXPECT_EQ(Pieces("'it''s'"), "[it][s]");
  EXPECT_EQ(Pieces("\"it's\"x"), "[it's]x");
  EXPECT_EQ(Pieces("x\"open"), "x[open]");
  EXPECT_EQ(Pieces("x'"), "x[]");
  EXPECT_EQ(Pieces("\"\"\"\""), "[][]");
  EXPECT_EQ(Pieces(""), "");
}

TEST(FormatScanner, UnquotedSearchSkipsLiterals) {
  EXPECT_EQ(FindUnquoted("\"a;b\";c", ';'), 5u);
  EXPECT_EQ(FindUnquoted("'x;'", ';'), std::string_view::npos);
  EXPECT_EQ(FindUnquoted("a;b;c", ';', 2), 3u);
  EXPECT_EQ(FindUnquoted("a;b", ';', 10), std::string_view::npos);
}

TEST(FormatScanner, NumberAndDateFormatsReadQuotesAlike) {
  // A ";" in quotes does not start a section; an unclosed quote runs on.
  EXPECT_EQ(FormatFloat("0\" a;b\";(0)", -3), "(3)");
  EXPECT_EQ(FormatFloat("0.0' kg", 2.25), "2.3 kg");
  EXPECT_EQ(FormatFloat("0.0E+00' e;x", 1234.5), "1.2E+03 e;x");
  const TDateTime date = EncodeDate(2004, 3, 7) + EncodeTime(15, 4, 0, 0);
  EXPECT_EQ(FormatDateTime("\"Q.\"m, yyyy", date), "Q.3, 2004");
  EXPECT_EQ(FormatDateTime("hh 'h am/pm' nn", date), "15 h am/pm 04");
  EXPECT_EQ(FormatDateTime("yyyy 'mm", date), "2004 mm");
}

}  // namespace
}  // namespace hy
