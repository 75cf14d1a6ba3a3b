// Tokens, the identifier dictionary and the lexer of the expression language.
#include <charconv>
#include <cstring>

#include "common/StrUtils.h"
#include "cube/HyExprLex.h"
#include "cube/HyStore.h"

namespace hy {

namespace {

constexpr const char* kUnit = "HyExpr";
constexpr size_t kBlockSize = 512;
constexpr size_t kInitialSize = 64;
constexpr size_t kMaxTokenLength = 255;

constexpr const char* kTokenNames[] = {"Identifier",
                                       "Integer Constant",
                                       "Real Constant",
                                       "String",
                                       "(",
                                       ")",
                                       "[",
                                       "]",
                                       "*",
                                       "/",
                                       "div",
                                       "mod",
                                       "+",
                                       "-",
                                       "=",
                                       "<>",
                                       "<",
                                       "<=",
                                       ">",
                                       ">=",
                                       "and",
                                       "or",
                                       "not",
                                       "..",
                                       ".",
                                       "in",
                                       ":",
                                       ";",
                                       ",",
                                       "EOF"};

constexpr int kTokenClasses[] = {5,                   // Identifier
                                 0,  0,  0,           // literals
                                 0,  10, 0, 8,        // ( ) [ ]
                                 1,  1,  1, 1,        // * / div mod
                                 2,  2,               // + -
                                 3,  3,  3, 3, 3, 3,  // comparisons
                                 7,  7,  6,           // and or not
                                 11, 12, 0, 0, 4, 0,  // .. . in : ; ,
                                 9};                  // EOF

static_assert(std::size(kTokenNames) == tkEOF + 1);
static_assert(std::size(kTokenClasses) == tkEOF + 1);

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const char* TokenName(TToken token) { return kTokenNames[token]; }
int TokenClass(TToken token) { return kTokenClasses[token]; }

// ---------------------------------------------------------------- TDictionary

TDictionary::TDictionary() : slots_(kInitialSize) {
  AddKeyword("and", tkAnd);
  AddKeyword("or", tkOr);
  AddKeyword("not", tkNot);
  AddKeyword("div", tkDiv);
  AddKeyword("mod", tkMod);
  AddKeyword("in", tkIn);
}

TDictionary::~TDictionary() = default;

uint32_t TDictionary::Hash(std::string_view text) {
  uint32_t h = 0;
  for (unsigned char c : text) h = h * 67u + (static_cast<uint32_t>(c) - 'q');
  return h + static_cast<uint32_t>(text.size());
}

size_t TDictionary::Probe(std::string_view text) const {
  const size_t mask = slots_.size() - 1;
  size_t slot = Hash(text) & mask;
  const size_t step = ((slot * 17) & mask) | 1;
  while (slots_[slot].name) {
    const TSlot& s = slots_[slot];
    if (s.length == text.size() && std::memcmp(s.name, text.data(), text.size()) == 0) break;
    slot = (slot + step) & mask;
  }
  return slot;
}

const char* TDictionary::Store(std::string_view text) {
  const size_t need = text.size() + 1;
  char* at;
  if (need > kBlockSize) {
    // A text larger than a block gets a block of its own, chained before the
    // current one so that the current block keeps filling.
    auto block = std::make_unique<char[]>(need);
    at = block.get();
    blocks_.insert(blocks_.empty() ? blocks_.end() : blocks_.end() - 1, std::move(block));
  } else {
    if (blocks_.empty() || blockUsed_ + need > kBlockSize) {
      blocks_.push_back(std::make_unique<char[]>(kBlockSize));
      blockUsed_ = 0;
    }
    at = blocks_.back().get() + blockUsed_;
    blockUsed_ += need;
  }
  std::memcpy(at, text.data(), text.size());
  at[text.size()] = '\0';
  return at;
}

void TDictionary::Grow() {
  std::vector<TSlot> old(slots_.size() * 2);
  old.swap(slots_);
  for (const TSlot& s : old)
    if (s.name) slots_[Probe(std::string_view(s.name, s.length))] = s;
}

TDictionary::TEntry TDictionary::Lookup(std::string_view text) {
  size_t slot = Probe(text);
  if (!slots_[slot].name) {
    slots_[slot] = TSlot{Store(text), static_cast<uint32_t>(text.size()), tkIdentifier};
    ++count_;
    if (static_cast<size_t>(count_) * 4 > slots_.size() * 3) {
      Grow();
      slot = Probe(text);
    }
  }
  return TEntry{slots_[slot].name, slots_[slot].kind};
}

void TDictionary::AddKeyword(std::string_view text, TToken kind) {
  const size_t slot = Probe(text);
  HyAssert(slots_[slot].name == nullptr, kUnit, "Duplicate KeyWord");
  Lookup(text);
  slots_[Probe(text)].kind = kind;
}

TDictionary& Dictionary() {
  static TDictionary dictionary;
  return dictionary;
}

// -------------------------------------------------------------------- TParser

void TParser::SetText(std::string text) {
  text_ = std::move(text);
  pos_ = 0;
  line_ = 0;
  tokenLine_ = 0;
  token_ = tkEOF;
  abandoned_ = false;
}

void TParser::Abandon() {
  pos_ = text_.size();
  token_ = tkEOF;
  abandoned_ = true;
}

char TParser::Peek(size_t ahead) const {
  const size_t at = pos_ + ahead;
  return at < text_.size() ? text_[at] : '\0';
}

void TParser::ErrorAt(int32_t line, const std::string& message) {
  if (abandoned_) return;
  log_.ErrorFmt("%s[%d]: %s", name_.c_str(), line, message.c_str());
}

void TParser::NextToken() {
  for (;;) {
    char c = Peek();
    while (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (c == '\r') ++line_;
      ++pos_;
      c = Peek();
    }
    tokenLine_ = line_;
    if (c == '\0') {
      token_ = tkEOF;
      return;
    }
    if (IsLetter(c)) return ScanIdentifier();
    if (IsDigit(c)) return ScanNumber();
    if (c == '\'') return ScanString();

    ++pos_;
    const char next = Peek();
    switch (c) {
      case '(': token_ = tkLParen; return;
      case ')': token_ = tkRParen; return;
      case '[': token_ = tkLBracket; return;
      case ']': token_ = tkRBracket; return;
      case '*': token_ = tkStar; return;
      case '/': token_ = tkSlash; return;
      case '+': token_ = tkPlus; return;
      case '-': token_ = tkMinus; return;
      case '=': token_ = tkEQ; return;
      case ':': token_ = tkColon; return;
      case ';': token_ = tkSemicolon; return;
      case ',': token_ = tkComma; return;
      case '<':
        if (next == '>') {
          ++pos_;
          token_ = tkNE;
        } else if (next == '=') {
          ++pos_;
          token_ = tkLE;
        } else token_ = tkLT;
        return;
      case '>':
        if (next == '=') {
          ++pos_;
          token_ = tkGE;
        } else token_ = tkGT;
        return;
      case '.':
        if (next == '.') {
          ++pos_;
          token_ = tkDotDot;
        } else token_ = tkDot;
        return;
      default: {
        // Show a whole UTF-8 sequence rather than a stray byte of it.
        size_t end = pos_;
        if (static_cast<unsigned char>(c) >= 0xC0)
          while (end < text_.size() && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80)
            ++end;
        Error("Unknown character: " + text_.substr(pos_ - 1, end - pos_ + 1));
        pos_ = end;
        break;  // go on with the next token
      }
    }
  }
}

void TParser::ScanIdentifier() {
  const size_t start = pos_;
  while (IsLetter(Peek()) || IsDigit(Peek())) ++pos_;
  const size_t length = std::min(pos_ - start, kMaxTokenLength);
  const TDictionary::TEntry entry =
      Dictionary().Lookup(std::string_view(text_).substr(start, length));
  ident_ = entry.Name;
  token_ = entry.Kind;
}

void TParser::ScanNumber() {
  const size_t start = pos_;
  while (IsDigit(Peek())) ++pos_;
  bool real = false;
  if (Peek() == '.' && Peek(1) != '.') {
    real = true;
    ++pos_;
    while (IsDigit(Peek())) ++pos_;
  }
  const std::string number = text_.substr(start, pos_ - start);
  token_ = real ? tkRealConst : tkIntConst;
  intValue_ = 0;
  realValue_ = 0;
  if (number.size() > kMaxTokenLength) {
    Error("Too Long Number");
    return;
  }
  const char* first = number.data();
  const char* last = first + number.size();
  if (real) {
    const auto [end, ec] = std::from_chars(first, last, realValue_, std::chars_format::fixed);
    if (ec != std::errc() || end != last) {
      realValue_ = 0;
      Error(hy::Format("'%s' - Invalid Float", number.c_str()));
    }
  } else {
    const auto [end, ec] = std::from_chars(first, last, intValue_);
    if (ec != std::errc() || end != last) {
      intValue_ = 0;
      Error(hy::Format("'%s' - Invalid Integer", number.c_str()));
    }
  }
}

void TParser::ScanString() {
  ++pos_;  // opening quote
  stringValue_.clear();
  token_ = tkString;
  for (;;) {
    const char c = Peek();
    if (c == '\0') {
      Error("Unterminated String");
      return;
    }
    ++pos_;
    if (c == '\'') {
      if (Peek() != '\'') return;
      ++pos_;
    } else if (c == '\r') {
      ++line_;
    }
    if (stringValue_.size() < kMaxTokenLength) stringValue_ += c;
  }
}

}  // namespace hy
