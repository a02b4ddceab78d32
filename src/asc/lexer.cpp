#include "asc/lexer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "util/text.h"

namespace tw::asc {
namespace {

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(uint8_t c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int HexValue(uint8_t c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}
// Letters of any script may name things: every byte of a multi-byte character counts.
bool IsIdentifierStart(uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80;
}
bool IsIdentifierPart(uint8_t c) { return IsIdentifierStart(c) || IsDigit(c); }

bool IsPathRoot(std::string_view name) {
  if (name == "_root" || name == "_parent") return true;
  if (!name.starts_with("_level") || name.size() == 6) return false;
  for (char c : name.substr(6))
    if (!IsDigit(static_cast<uint8_t>(c))) return false;
  return true;
}

// After these a '/' divides; anywhere else (after a '}' too: a statement starts there) it starts
// a slash path.
bool EndsOperand(TTok kind) {
  switch (kind) {
    case TTok::Identifier:
    case TTok::Number:
    case TTok::String:
    case TTok::This:
    case TTok::True:
    case TTok::False:
    case TTok::Null:
    case TTok::RParen:
    case TTok::RBracket:
    case TTok::PlusPlus:
    case TTok::MinusMinus: return true;
    default: return false;
  }
}

const std::unordered_map<std::string_view, TTok>& Keywords() {
  static const std::unordered_map<std::string_view, TTok> k = {
      {"break", TTok::Break},       {"case", TTok::Case},         {"catch", TTok::Catch},
      {"continue", TTok::Continue}, {"default", TTok::Default},   {"delete", TTok::Delete},
      {"do", TTok::Do},             {"else", TTok::Else},         {"false", TTok::False},
      {"finally", TTok::Finally},   {"for", TTok::For},           {"function", TTok::Function},
      {"if", TTok::If},             {"in", TTok::In},             {"instanceof", TTok::InstanceOf},
      {"new", TTok::New},           {"null", TTok::Null},         {"return", TTok::Return},
      {"switch", TTok::Switch},     {"this", TTok::This},         {"throw", TTok::Throw},
      {"true", TTok::True},         {"try", TTok::Try},           {"typeof", TTok::TypeOf},
      {"var", TTok::Var},           {"void", TTok::Void},         {"while", TTok::While},
      {"with", TTok::With},
      // ActionScript 2 and later.
      {"class", TTok::Reserved},    {"interface", TTok::Reserved}, {"import", TTok::Reserved},
      {"extends", TTok::Reserved},  {"implements", TTok::Reserved},
  };
  return k;
}

}  // namespace

std::string TokenKindText(TTok kind) {
  switch (kind) {
    case TTok::End: return "the end of the file";
    case TTok::Identifier: return "a name";
    case TTok::Number: return "a number";
    case TTok::String: return "a string";
    case TTok::Reserved: return "a reserved word";
    case TTok::LBrace: return "'{'";
    case TTok::RBrace: return "'}'";
    case TTok::LParen: return "'('";
    case TTok::RParen: return "')'";
    case TTok::LBracket: return "'['";
    case TTok::RBracket: return "']'";
    case TTok::Dot: return "'.'";
    case TTok::Semicolon: return "';'";
    case TTok::Comma: return "','";
    case TTok::Question: return "'?'";
    case TTok::Colon: return "':'";
    case TTok::Less: return "'<'";
    case TTok::Greater: return "'>'";
    case TTok::LessEq: return "'<='";
    case TTok::GreaterEq: return "'>='";
    case TTok::Eq: return "'=='";
    case TTok::NotEq: return "'!='";
    case TTok::StrictEq: return "'==='";
    case TTok::StrictNotEq: return "'!=='";
    case TTok::Plus: return "'+'";
    case TTok::Minus: return "'-'";
    case TTok::Star: return "'*'";
    case TTok::Slash: return "'/'";
    case TTok::Percent: return "'%'";
    case TTok::PlusPlus: return "'++'";
    case TTok::MinusMinus: return "'--'";
    case TTok::Shl: return "'<<'";
    case TTok::Shr: return "'>>'";
    case TTok::UShr: return "'>>>'";
    case TTok::Amp: return "'&'";
    case TTok::Pipe: return "'|'";
    case TTok::Caret: return "'^'";
    case TTok::Bang: return "'!'";
    case TTok::Tilde: return "'~'";
    case TTok::AmpAmp: return "'&&'";
    case TTok::PipePipe: return "'||'";
    case TTok::Assign: return "'='";
    case TTok::PlusAssign: return "'+='";
    case TTok::MinusAssign: return "'-='";
    case TTok::StarAssign: return "'*='";
    case TTok::SlashAssign: return "'/='";
    case TTok::PercentAssign: return "'%='";
    case TTok::ShlAssign: return "'<<='";
    case TTok::ShrAssign: return "'>>='";
    case TTok::UShrAssign: return "'>>>='";
    case TTok::AmpAssign: return "'&='";
    case TTok::PipeAssign: return "'|='";
    case TTok::CaretAssign: return "'^='";
    default: break;
  }
  for (const auto& [word, tok] : Keywords())
    if (tok == kind) return "'" + std::string(word) + "'";
  return "a token";
}

TLexer::TLexer(std::string_view text, std::string_view sourceName, TSourcePos start)
    : FText(text), FSourceName(sourceName), FPos(start) {
  // A byte order mark is no part of the script.
  if (FText.starts_with("\xEF\xBB\xBF")) FAt = 3;
}

void TLexer::Fail(TSourcePos pos, std::string message) const {
  throw ECompileError(FSourceName, pos, std::move(message));
}

const TToken& TLexer::Peek(size_t n) {
  while (FBuffered <= n) FBuffer[FBuffered++] = Scan();
  return FBuffer[n];
}

TToken TLexer::Next() {
  Peek(0);
  TToken t = std::move(FBuffer[0]);
  for (size_t i = 1; i < FBuffered; ++i) FBuffer[i - 1] = std::move(FBuffer[i]);
  --FBuffered;
  return t;
}

void TLexer::Advance(size_t n) {
  for (; n > 0 && FAt < FText.size(); --n) {
    const auto c = static_cast<uint8_t>(FText[FAt++]);
    if (c == '\n') {
      if (!FAfterCR) ++FPos.Line;
      FPos.Column = 1;
      FAfterCR = false;
    } else if (c == '\r') {
      ++FPos.Line;
      FPos.Column = 1;
      FAfterCR = true;
    } else {
      FAfterCR = false;
      // Continuation bytes belong to the character before them.
      if ((c & 0xC0) != 0x80) ++FPos.Column;
    }
  }
}

void TLexer::SkipSpaceAndComments(bool& newline) {
  while (!AtEnd()) {
    const uint8_t c = Byte();
    if (c == '\n' || c == '\r') {
      newline = true;
      Advance();
    } else if (c == ' ' || c == '\t' || c == '\v' || c == '\f') {
      Advance();
    } else if (c == 0xC2 && Byte(1) == 0xA0) {  // no-break space
      Advance(2);
    } else if (c == 0xEF && Byte(1) == 0xBB && Byte(2) == 0xBF) {  // a stray byte order mark
      Advance(3);
    } else if (c == 0xE2 && Byte(1) == 0x80 && (Byte(2) == 0xA8 || Byte(2) == 0xA9)) {
      newline = true;  // line and paragraph separators
      Advance(3);
    } else if (c == '/' && Byte(1) == '/') {
      while (!AtEnd() && Byte() != '\n' && Byte() != '\r') Advance();
    } else if (c == '/' && Byte(1) == '*') {
      const TSourcePos start = FPos;
      Advance(2);
      for (;;) {
        if (AtEnd()) Fail(start, "unterminated comment: '/*' without '*/'");
        if (Byte() == '*' && Byte(1) == '/') {
          Advance(2);
          break;
        }
        if (Byte() == '\n' || Byte() == '\r') newline = true;
        Advance();
      }
    } else {
      break;
    }
  }
}

TToken TLexer::Scan() {
  TToken t;
  bool newline = false;
  SkipSpaceAndComments(newline);
  t.NewlineBefore = newline;
  t.Pos = FPos;
  if (AtEnd()) {
    t.Kind = TTok::End;
    return t;
  }
  const uint8_t c = Byte();
  const bool operand = !EndsOperand(FLastKind);
  if (IsIdentifierStart(c)) {
    ScanIdentifier(t);
  } else if (IsDigit(c) || (c == '.' && IsDigit(Byte(1)))) {
    ScanNumber(t);
  } else if (c == '"' || c == '\'') {
    ScanString(t);
  } else if (const size_t root = c == '/' ? 1 : c == '.' && Byte(1) == '.' ? 2 : 0;
             operand && root > 0 && SlashPathEnd(FAt + root) > FAt + root) {
    const size_t start = FAt;
    TakeSlashPath(t, start, SlashPathEnd(FAt + root));
  } else {
    t.Kind = ScanPunctuator();
  }
  FLastKind = t.Kind;
  return t;
}

// The first ActionScript named variables and clips by slash paths: "/:x", "/clip/sub:x",
// "../:x", "_root/clip:x". The player resolves such a name itself, so a path is one name, got
// and set like any other. This is where the path that starts before rootEnd ends: after its
// segments (names or ".." after a '/') and a ':' with the variable's name.
size_t TLexer::SlashPathEnd(size_t rootEnd) const {
  auto at = [&](size_t i) -> uint8_t { return i < FText.size() ? static_cast<uint8_t>(FText[i]) : 0; };
  auto name = [&](size_t i) {
    while (IsIdentifierPart(at(i))) ++i;
    return i;
  };
  size_t i = rootEnd;
  // The root '/' or ".." may be followed by a segment at once.
  if (at(rootEnd - 1) == '/' || at(rootEnd - 1) == '.') {
    if (IsIdentifierStart(at(i))) i = name(i);
    else if (at(i) == '.' && at(i + 1) == '.') i += 2;
  }
  while (at(i) == '/') {
    if (IsIdentifierStart(at(i + 1))) i = name(i + 1);
    else if (at(i + 1) == '.' && at(i + 2) == '.') i += 3;
    else if (at(i + 1) == ':') ++i;
    else break;
  }
  if (at(i) == ':' && IsIdentifierStart(at(i + 1))) i = name(i + 1);
  return i;
}

void TLexer::TakeSlashPath(TToken& t, size_t start, size_t end) {
  Advance(end - FAt);
  t.Kind = TTok::Identifier;
  t.Text.assign(FText.substr(start, end - start));
  CheckLength(t, "The name");
}

void TLexer::CheckLength(const TToken& t, const char* what) const {
  if (t.Text.size() > kMaxStringBytes)
    Fail(t.Pos, std::string(what) + " is longer than " + std::to_string(kMaxStringBytes) +
                    " bytes, more than one action record holds");
}

void TLexer::ScanIdentifier(TToken& t) {
  const size_t start = FAt;
  while (!AtEnd() && IsIdentifierPart(Byte())) {
    // Spaces of other scripts end a name like any space.
    if (Byte() == 0xC2 && Byte(1) == 0xA0) break;
    if (Byte() == 0xE2 && Byte(1) == 0x80 && (Byte(2) == 0xA8 || Byte(2) == 0xA9)) break;
    Advance();
  }
  t.Text.assign(FText.substr(start, FAt - start));
  // A path from the root or a parent ("_root/clip:x", "_level0/:x") without a space in it.
  if (Byte() == '/' && IsPathRoot(t.Text)) {
    if (const size_t end = SlashPathEnd(FAt); end > FAt) {
      TakeSlashPath(t, start, end);
      return;
    }
  }
  const auto& keywords = Keywords();
  if (auto it = keywords.find(t.Text); it != keywords.end()) {
    t.Kind = it->second;
  } else {
    t.Kind = TTok::Identifier;
    CheckLength(t, "The name");
  }
}

void TLexer::ScanNumber(TToken& t) {
  t.Kind = TTok::Number;
  const size_t start = FAt;
  if (Byte() == '0' && (Byte(1) == 'x' || Byte(1) == 'X')) {
    Advance(2);
    if (!IsHexDigit(Byte())) Fail(t.Pos, "invalid number: '0x' must be followed by hexadecimal digits");
    double v = 0;
    while (IsHexDigit(Byte())) {
      v = v * 16 + HexValue(Byte());
      Advance();
    }
    t.Number = v;
  } else {
    // A leading zero followed by octal digits only is an octal number, as in the players' own
    // compilers; 08 and 09 are decimal.
    bool octal = Byte() == '0' && IsDigit(Byte(1));
    for (size_t i = FAt + 1; octal && i < FText.size() && IsDigit(static_cast<uint8_t>(FText[i])); ++i)
      if (FText[i] > '7') octal = false;
    if (octal) {
      double v = 0;
      Advance();
      while (IsDigit(Byte())) {
        v = v * 8 + (Byte() - '0');
        Advance();
      }
      if (Byte() == '.' || Byte() == 'e' || Byte() == 'E')
        Fail(t.Pos, "invalid number: an octal number has no fraction or exponent");
      t.Number = v;
    } else {
      while (IsDigit(Byte())) Advance();
      if (Byte() == '.') {
        Advance();
        while (IsDigit(Byte())) Advance();
      }
      if (Byte() == 'e' || Byte() == 'E') {
        const TSourcePos ePos = FPos;
        Advance();
        if (Byte() == '+' || Byte() == '-') Advance();
        if (!IsDigit(Byte())) Fail(ePos, "invalid number: the exponent has no digits");
        while (IsDigit(Byte())) Advance();
      }
      const std::string_view digits = FText.substr(start, FAt - start);
      double v = 0;
      const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
      // Out of range: the value is as far as a double goes.
      if (r.ec == std::errc::result_out_of_range) {
        const bool tiny = digits.find("e-") != std::string_view::npos ||
                          digits.find("E-") != std::string_view::npos;
        v = tiny ? 0.0 : HUGE_VAL;
      }
      t.Number = v;
    }
  }
  if (!AtEnd() && (IsIdentifierStart(Byte()) || IsDigit(Byte())))
    Fail(t.Pos, "invalid number: " +
                    QuoteForMessage(FText.substr(start, FAt - start + 1)) +
                    " (a name cannot start with a digit)");
}

void TLexer::ScanString(TToken& t) {
  t.Kind = TTok::String;
  const uint8_t quote = Byte();
  Advance();
  std::string& out = t.Text;
  char32_t pendingHigh = 0;  // a high surrogate from \u, waiting for its low half
  auto flushHigh = [&] {
    if (pendingHigh) AppendUtf8(out, 0xFFFD);
    pendingHigh = 0;
  };
  for (;;) {
    if (AtEnd() || Byte() == '\n' || Byte() == '\r')
      Fail(t.Pos, "unterminated string: the closing " + std::string(1, static_cast<char>(quote)) +
                      " is missing on this line");
    const uint8_t c = Byte();
    if (c == quote) {
      Advance();
      break;
    }
    if (c != '\\') {
      flushHigh();
      // Copy a whole run of plain bytes at once.
      const size_t from = FAt;
      while (!AtEnd() && Byte() != quote && Byte() != '\\' && Byte() != '\n' && Byte() != '\r')
        Advance();
      out.append(FText.substr(from, FAt - from));
      if (out.size() > kMaxStringBytes) CheckLength(t, "The string");
      continue;
    }
    const TSourcePos escapePos = FPos;
    Advance();
    if (AtEnd()) continue;  // reported as unterminated above
    const uint8_t e = Byte();
    if (e == '\n' || e == '\r') {  // a line continuation
      Advance();
      if (e == '\r' && Byte() == '\n') Advance();
      continue;
    }
    if (e == 'u' || e == 'x') {
      const int n = e == 'u' ? 4 : 2;
      char32_t cp = 0;
      for (int i = 1; i <= n; ++i) {
        if (!IsHexDigit(Byte(static_cast<size_t>(i))))
          Fail(escapePos, std::string("invalid escape: '\\") + static_cast<char>(e) + "' needs " +
                              std::to_string(n) + " hexadecimal digits");
        cp = cp * 16 + static_cast<char32_t>(HexValue(Byte(static_cast<size_t>(i))));
      }
      Advance(static_cast<size_t>(n) + 1);
      if (cp >= 0xD800 && cp <= 0xDBFF) {
        flushHigh();
        pendingHigh = cp;
        continue;
      }
      if (cp >= 0xDC00 && cp <= 0xDFFF) {
        if (pendingHigh) {
          AppendUtf8(out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (cp - 0xDC00));
          pendingHigh = 0;
        } else {
          AppendUtf8(out, 0xFFFD);
        }
        continue;
      }
      flushHigh();
      AppendUtf8(out, cp);
      continue;
    }
    flushHigh();
    Advance();
    switch (e) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'v': out += '\v'; break;
      case '0':
        if (IsDigit(Byte())) Fail(escapePos, "invalid escape: octal escapes are not supported");
        out += '\0';
        break;
      default:
        // Any other character stands for itself (\' \" \\ and the rest).
        out += static_cast<char>(e);
        break;
    }
  }
  flushHigh();
  CheckLength(t, "The string");
}

TTok TLexer::ScanPunctuator() {
  const uint8_t c = Byte(), c1 = Byte(1), c2 = Byte(2), c3 = Byte(3);
  auto take = [this](size_t n, TTok kind) {
    Advance(n);
    return kind;
  };
  switch (c) {
    case '{': return take(1, TTok::LBrace);
    case '}': return take(1, TTok::RBrace);
    case '(': return take(1, TTok::LParen);
    case ')': return take(1, TTok::RParen);
    case '[': return take(1, TTok::LBracket);
    case ']': return take(1, TTok::RBracket);
    case '.': return take(1, TTok::Dot);
    case ';': return take(1, TTok::Semicolon);
    case ',': return take(1, TTok::Comma);
    case '?': return take(1, TTok::Question);
    case ':': return take(1, TTok::Colon);
    case '~': return take(1, TTok::Tilde);
    case '<':
      if (c1 == '<') return c2 == '=' ? take(3, TTok::ShlAssign) : take(2, TTok::Shl);
      return c1 == '=' ? take(2, TTok::LessEq) : take(1, TTok::Less);
    case '>':
      if (c1 == '>') {
        if (c2 == '>') return c3 == '=' ? take(4, TTok::UShrAssign) : take(3, TTok::UShr);
        return c2 == '=' ? take(3, TTok::ShrAssign) : take(2, TTok::Shr);
      }
      return c1 == '=' ? take(2, TTok::GreaterEq) : take(1, TTok::Greater);
    case '=':
      if (c1 == '=') return c2 == '=' ? take(3, TTok::StrictEq) : take(2, TTok::Eq);
      return take(1, TTok::Assign);
    case '!':
      if (c1 == '=') return c2 == '=' ? take(3, TTok::StrictNotEq) : take(2, TTok::NotEq);
      return take(1, TTok::Bang);
    case '+':
      if (c1 == '+') return take(2, TTok::PlusPlus);
      return c1 == '=' ? take(2, TTok::PlusAssign) : take(1, TTok::Plus);
    case '-':
      if (c1 == '-') return take(2, TTok::MinusMinus);
      return c1 == '=' ? take(2, TTok::MinusAssign) : take(1, TTok::Minus);
    case '*': return c1 == '=' ? take(2, TTok::StarAssign) : take(1, TTok::Star);
    case '/': return c1 == '=' ? take(2, TTok::SlashAssign) : take(1, TTok::Slash);
    case '%': return c1 == '=' ? take(2, TTok::PercentAssign) : take(1, TTok::Percent);
    case '^': return c1 == '=' ? take(2, TTok::CaretAssign) : take(1, TTok::Caret);
    case '&':
      if (c1 == '&') return take(2, TTok::AmpAmp);
      return c1 == '=' ? take(2, TTok::AmpAssign) : take(1, TTok::Amp);
    case '|':
      if (c1 == '|') return take(2, TTok::PipePipe);
      return c1 == '=' ? take(2, TTok::PipeAssign) : take(1, TTok::Pipe);
    default: break;
  }
  if (c == '#')
    Fail(FPos, "directives such as #include and #initclip are not supported");
  char buf[48];
  if (c >= 0x20 && c < 0x7F) std::snprintf(buf, sizeof buf, "unexpected character '%c'", c);
  else std::snprintf(buf, sizeof buf, "unexpected character (byte 0x%02X)", c);
  Fail(FPos, buf);
}

}  // namespace tw::asc
