#include "report/KyRParsLex.h"

#include "common/StrUtils.h"
#include "platform/db/DataSet.h"

namespace hy {

namespace {

bool IsNameStart(unsigned char c) {
  // Bytes of multi-byte UTF-8 characters count as letters, so field names in
  // any language need no brackets.
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool IsNamePart(unsigned char c) { return IsNameStart(c) || IsDigit(c) || c == '.'; }

}  // namespace

bool TKyRToken::IsKeyword(std::string_view keyword) const {
  return Kind == ktName && !Bracketed && SameText(Text, keyword);
}

std::string TKyRToken::Display() const {
  switch (Kind) {
    case ktEnd: return "end of expression";
    case ktName:
    case ktString:
    case ktNumber: return std::string(Source);
    default: return "'" + std::string(Source) + "'";
  }
}

void TKyRLexer::SkipBlanks() {
  for (;;) {
    while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) <= 32) ++pos_;
    if (text_.substr(pos_, 2) != "/*") return;
    const size_t close = text_.find("*/", pos_ + 2);
    if (close == std::string_view::npos) throw EDatabaseError("Unterminated comment");
    pos_ = close + 2;
  }
}

TKyRToken TKyRLexer::Next() {
  SkipBlanks();
  TKyRToken t;
  const size_t start = pos_;
  if (pos_ >= text_.size()) {
    t.Kind = ktEnd;
    return t;
  }
  const unsigned char c = text_[pos_];
  if (c == '\'') {
    ++pos_;
    for (;;) {
      if (pos_ >= text_.size()) throw EDatabaseError("Unterminated string constant");
      if (text_[pos_] == '\'') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
          t.Text += '\'';
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      t.Text += text_[pos_++];
    }
    t.Kind = ktString;
  } else if (c == '[') {
    const size_t close = text_.find(']', pos_ + 1);
    if (close == std::string_view::npos) throw EDatabaseError("Unterminated field name");
    t.Kind = ktName;
    t.Bracketed = true;
    t.Text = std::string(text_.substr(pos_ + 1, close - pos_ - 1));
    pos_ = close + 1;
  } else if (IsNameStart(c)) {
    while (pos_ < text_.size() && IsNamePart(text_[pos_])) ++pos_;
    t.Kind = ktName;
    t.Text = std::string(text_.substr(start, pos_ - start));
  } else if (IsDigit(c)) {
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    }
    t.Kind = ktNumber;
    t.Text = std::string(text_.substr(start, pos_ - start));
  } else {
    const char next = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
    size_t length = 1;
    switch (c) {
      case '=': t.Kind = ktEQ; break;
      case '<':
        if (next == '>') t.Kind = ktNE, length = 2;
        else if (next == '=') t.Kind = ktLE, length = 2;
        else t.Kind = ktLT;
        break;
      case '>':
        if (next == '=') t.Kind = ktGE, length = 2;
        else t.Kind = ktGT;
        break;
      case '+': t.Kind = ktPlus; break;
      case '-': t.Kind = ktMinus; break;
      case '*': t.Kind = ktStar; break;
      case '/': t.Kind = ktSlash; break;
      case ',': t.Kind = ktComma; break;
      case '(': t.Kind = ktLParen; break;
      case ')': t.Kind = ktRParen; break;
      default:
        throw EDatabaseError(Format("Invalid expression character: '%c'", static_cast<char>(c)));
    }
    pos_ += length;
    t.Text = std::string(text_.substr(start, length));
  }
  t.Source = text_.substr(start, pos_ - start);
  return t;
}

}  // namespace hy
