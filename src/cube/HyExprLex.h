// Tokens, the dictionary of interned names and the lexer of the expression
// language.
// Private to the expression language: only its own files and tests include it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Exceptions.h"

namespace hy {

class THyLog;

// ------------------------------------------------------------------ tokens

enum TToken : uint8_t {
  tkIdentifier,  // 0
  tkIntConst,    // 1
  tkRealConst,   // 2
  tkString,      // 3
  tkLParen,      // 4
  tkRParen,      // 5
  tkLBracket,    // 6
  tkRBracket,    // 7
  tkStar,        // 8
  tkSlash,       // 9
  tkDiv,         // 10
  tkMod,         // 11
  tkPlus,        // 12
  tkMinus,       // 13
  tkEQ,          // 14
  tkNE,          // 15
  tkLT,          // 16
  tkLE,          // 17
  tkGT,          // 18
  tkGE,          // 19
  tkAnd,         // 20
  tkOr,          // 21
  tkNot,         // 22
  tkDotDot,      // 23
  tkDot,         // 24
  tkIn,          // 25
  tkColon,       // 26
  tkSemicolon,   // 27
  tkComma,       // 28
  tkEOF,         // 29
};

// The token's name as messages show it: "Identifier", "(", "div", "EOF" ...
const char* TokenName(TToken token);
// The token's class for error recovery (0 .. 12).
int TokenClass(TToken token);

// ---------------------------------------------------------------- dictionary

// Interned identifiers. Open addressing over a power-of-two table; texts are
// copied into chained 512-byte blocks that live as long as the dictionary,
// so an interned name is a stable C string and two names are equal exactly
// when their pointers are.
class TDictionary {
public:
  struct TEntry {
    const char* Name = nullptr;  // interned text
    TToken Kind = tkIdentifier;  // keyword token or tkIdentifier
  };

  TDictionary();  // with the keywords and/or/not/div/mod/in
  ~TDictionary();
  TDictionary(const TDictionary&) = delete;
  TDictionary& operator=(const TDictionary&) = delete;

  // The entry of `text`, entered as an identifier when absent.
  TEntry Lookup(std::string_view text);
  // Enters a keyword; a keyword entered twice is an assertion failure.
  void AddKeyword(std::string_view text, TToken kind);

  int Count() const { return count_; }
  int Size() const { return static_cast<int>(slots_.size()); }

  static uint32_t Hash(std::string_view text);

private:
  struct TSlot {
    const char* name = nullptr;
    uint32_t length = 0;
    TToken kind = tkIdentifier;
  };
  // Index of the slot holding `text`, or of the empty slot where it belongs.
  size_t Probe(std::string_view text) const;
  const char* Store(std::string_view text);
  void Grow();

  std::vector<TSlot> slots_;
  int count_ = 0;
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t blockUsed_ = 0;  // bytes used in blocks_.back()
};

// The process-wide dictionary every compile interns into.
TDictionary& Dictionary();

// ------------------------------------------------------------ lexer, parser

// The lexer. Lines are counted from 0; a carriage return starts a new line.
// Messages go to the log as "<name>[<line>]: <message>".
class TParser {
public:
  explicit TParser(THyLog& log) : log_(log) {}
  virtual ~TParser() = default;

  // Sets the text and goes back to its start (no token read yet).
  void SetText(std::string text);
  const std::string& Text() const { return text_; }
  // The name messages are reported under.
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& Name() const { return name_; }

  void NextToken();
  TToken Token() const { return token_; }
  int32_t TokenLine() const { return tokenLine_; }
  const char* Ident() const { return ident_; }  // interned, for tkIdentifier
  int32_t IntValue() const { return intValue_; }
  double RealValue() const { return realValue_; }
  const std::string& StringValue() const { return stringValue_; }

  // Gives up on the rest of the text: the token becomes EOF and later
  // messages are dropped, since they would only follow from the first.
  void Abandon();

  // Logs `message` at the current token's line, or at `line`.
  void Error(const std::string& message) { ErrorAt(tokenLine_, message); }
  void ErrorAt(int32_t line, const std::string& message);
  THyLog& Log() { return log_; }

private:
  char Peek(size_t ahead = 0) const;
  void ScanIdentifier();
  void ScanNumber();
  void ScanString();

  THyLog& log_;
  std::string text_;
  std::string name_;
  size_t pos_ = 0;
  int32_t line_ = 0;
  TToken token_ = tkEOF;
  int32_t tokenLine_ = 0;
  const char* ident_ = nullptr;
  int32_t intValue_ = 0;
  double realValue_ = 0;
  std::string stringValue_;
  bool abandoned_ = false;
};

}  // namespace hy
