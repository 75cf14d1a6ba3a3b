// Tokens of the report's expression language (internal to KyRPars).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hy {

enum TKyRTokenKind : uint8_t {
  ktEnd,
  ktName,    // plain or bracketed name; keywords are names too
  ktString,  // Text holds the value, quotes removed
  ktNumber,
  ktEQ,
  ktNE,
  ktGE,
  ktLE,
  ktGT,
  ktLT,
  ktPlus,
  ktMinus,
  ktStar,
  ktSlash,
  ktComma,
  ktLParen,
  ktRParen,
};

struct TKyRToken {
  TKyRTokenKind Kind = ktEnd;
  std::string Text;         // the value of a name or string literal; the source of anything else
  std::string_view Source;  // as written
  bool Bracketed = false;

  // A plain name equal to `keyword` (case-insensitive); never a bracketed one.
  bool IsKeyword(std::string_view keyword) const;
  // The token as messages show it: operators in apostrophes, names and
  // literals as written, "end of expression" at the end.
  std::string Display() const;
};

class TKyRLexer {
public:
  explicit TKyRLexer(std::string_view text) : text_(text) {}
  // The next token; raises EDatabaseError for an unterminated string, name
  // or comment and for a character that starts no token.
  TKyRToken Next();

private:
  void SkipBlanks();

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace hy
