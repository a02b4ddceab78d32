// The lexer: ActionScript 1 source (UTF-8) to tokens, with the position of each and whether a
// line break came before it (for automatic semicolons).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "asc/source.h"

namespace tw::asc {

enum class TTok : uint8_t {
  End,
  Identifier,
  Number,
  String,
  // Keywords.
  Break, Case, Catch, Continue, Default, Delete, Do, Else, False, Finally, For, Function, If, In,
  InstanceOf, New, Null, Return, Switch, This, Throw, True, Try, TypeOf, Var, Void, While, With,
  // Words of later ActionScript that this compiler does not take (class, import, ...).
  Reserved,
  // Punctuators.
  LBrace, RBrace, LParen, RParen, LBracket, RBracket, Dot, Semicolon, Comma, Question, Colon,
  Less, Greater, LessEq, GreaterEq, Eq, NotEq, StrictEq, StrictNotEq,
  Plus, Minus, Star, Slash, Percent, PlusPlus, MinusMinus, Shl, Shr, UShr,
  Amp, Pipe, Caret, Bang, Tilde, AmpAmp, PipePipe,
  Assign, PlusAssign, MinusAssign, StarAssign, SlashAssign, PercentAssign, ShlAssign, ShrAssign,
  UShrAssign, AmpAssign, PipeAssign, CaretAssign,
};

// How a token looks in a message: "'{'", "a string", "the end of the file", ...
std::string TokenKindText(TTok kind);

struct TToken {
  TTok Kind = TTok::End;
  TSourcePos Pos;
  bool NewlineBefore = false;  // a line break between this token and the one before
  std::string Text;            // identifier name, string value, reserved word
  double Number = 0;
};

// Strings and names longer than this cannot be pushed: a Push record holds at most 65535 bytes.
constexpr size_t kMaxStringBytes = 65000;

class TLexer {
 public:
  // The text must stay alive as long as the lexer. Start is where the text begins in its source
  // (its file goes into every position).
  TLexer(std::string_view text, std::string_view sourceName, TSourcePos start = {});

  // The token n places ahead (0: the next one).
  const TToken& Peek(size_t n = 0);
  TToken Next();

  [[noreturn]] void Fail(TSourcePos pos, std::string message) const;
  std::string_view SourceName() const { return FSourceName; }

 private:
  static constexpr size_t kLookahead = 3;

  TToken Scan();
  void SkipSpaceAndComments(bool& newline);
  void ScanIdentifier(TToken& t);
  size_t SlashPathEnd(size_t rootEnd) const;
  void TakeSlashPath(TToken& t, size_t start, size_t end);
  void ScanNumber(TToken& t);
  void ScanString(TToken& t);
  TTok ScanPunctuator();
  uint8_t Byte(size_t ahead = 0) const {
    return FAt + ahead < FText.size() ? static_cast<uint8_t>(FText[FAt + ahead]) : 0;
  }
  bool AtEnd() const { return FAt >= FText.size(); }
  void Advance(size_t n = 1);
  void CheckLength(const TToken& t, const char* what) const;

  std::string_view FText;
  std::string_view FSourceName;
  size_t FAt = 0;
  TSourcePos FPos;
  bool FAfterCR = false;
  TTok FLastKind = TTok::End;  // of the token scanned last: a '/' after an operand divides
  std::array<TToken, kLookahead> FBuffer;
  size_t FBuffered = 0;
};

}  // namespace tw::asc
