// The lexer: tokens, values, positions and line breaks, and the errors of bad source.
#include <cmath>

#include "asc/lexer.h"
#include "support/testing.h"

namespace tw::test {
namespace {

using asc::TLexer;
using asc::TTok;

std::vector<asc::TToken> Tokens(std::string_view text) {
  TLexer lex(text, "t.as");
  std::vector<asc::TToken> out;
  while (lex.Peek().Kind != TTok::End) out.push_back(lex.Next());
  return out;
}

// One token per case: its kind and what it stands for.
struct TValueCase {
  const char* Source;
  TTok Kind;
  double Number = 0;
  std::string Text = {};
};

// A slash path is one name where an operand may stand; after an operand '/' divides.
TEST(Lexer, TakesSlashPathsAsNamesWhereAnOperandStands) {
  const struct {
    const char* Source;
    const char* Tokens;  // names as written, other tokens as messages show them
  } cases[] = {
      {"/:x = 1", "/:x '=' a number"},
      {"/clip/sub:v", "/clip/sub:v"},
      {"/clip", "/clip"},
      {"(../:y)", "'(' ../:y ')'"},
      {"../../clip:y", "../../clip:y"},
      {"return _root/clip:x;", "'return' _root/clip:x ';'"},
      {"_level0/:x", "_level0/:x"},
      {"_parent/../:x", "_parent/../:x"},
      {"a/b:c", "a '/' b ':' c"},          // only paths from a root are taken after a name
      {"_root/2", "_root '/' a number"},
      {"x = 6 /2", "x '=' a number '/' a number"},
      {"f() /:x", "f '(' ')' '/' ':' x"},
      {"} /:x", "'}' /:x"},                   // a statement starts after a block
      {"/ 2", "'/' a number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source);
    std::string text;
    for (const auto& t : Tokens(c.Source))
      text += (text.empty() ? "" : " ") + (t.Kind == TTok::Identifier ? t.Text : asc::TokenKindText(t.Kind));
    EXPECT_EQ(text, c.Tokens);
  }
}

TEST(Lexer, ReadsTheValuesOfLiterals) {
  const TValueCase cases[] = {
      {"42", TTok::Number, 42},
      {"3.25", TTok::Number, 3.25},
      {".5", TTok::Number, 0.5},
      {"1e3", TTok::Number, 1000},
      {"2.5E-2", TTok::Number, 0.025},
      {"0x1F", TTok::Number, 31},
      {"0XFFFFFFFF", TTok::Number, 4294967295.0},
      {"017", TTok::Number, 15},   // octal, as the players' compilers read it
      {"019", TTok::Number, 19},   // not octal: a 9 in it
      {"0", TTok::Number, 0},
      {"1e999", TTok::Number, HUGE_VAL},
      {"'single'", TTok::String, 0, "single"},
      {"\"dq \\\"x\\\" 'y'\"", TTok::String, 0, "dq \"x\" 'y'"},
      {"'a\\nb\\tc\\\\d'", TTok::String, 0, "a\nb\tc\\d"},
      {"'\\x41\\u00e9'", TTok::String, 0, "A\xC3\xA9"},
      {"'\\ud83d\\ude00'", TTok::String, 0, "\xF0\x9F\x98\x80"},  // a surrogate pair, one character
      {"'\\ud83d'", TTok::String, 0, "\xEF\xBF\xBD"},             // a lone half: U+FFFD
      {"'a\\\nb'", TTok::String, 0, "ab"},                        // a line continuation
      {"'\\q'", TTok::String, 0, "q"},
      {"'caf\xC3\xA9'", TTok::String, 0, "caf\xC3\xA9"},
      {"_root", TTok::Identifier, 0, "_root"},
      {"$x1", TTok::Identifier, 0, "$x1"},
      {"na\xC3\xAFve", TTok::Identifier, 0, "na\xC3\xAFve"},
      {"instanceof", TTok::InstanceOf, 0, "instanceof"},
      {"class", TTok::Reserved, 0, "class"},
      {">>>=", TTok::UShrAssign},
      {"!==", TTok::StrictNotEq},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source);
    const auto tokens = Tokens(c.Source);
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].Kind, c.Kind);
    if (c.Kind == TTok::Number) {
      EXPECT_EQ(tokens[0].Number, c.Number);
    } else if (!c.Text.empty()) {
      EXPECT_EQ(tokens[0].Text, c.Text);
    }
  }
}

TEST(Lexer, SplitsOperatorsByLongestMatch) {
  std::vector<TTok> kinds;
  for (const auto& t : Tokens("a>>>=b>>=c>>d>=e>f===g==h=i!==j!=k!l&&m&n||o|p++q+r--s-t"))
    kinds.push_back(t.Kind);
  const std::vector<TTok> expected = {
      TTok::Identifier, TTok::UShrAssign, TTok::Identifier, TTok::ShrAssign, TTok::Identifier,
      TTok::Shr, TTok::Identifier, TTok::GreaterEq, TTok::Identifier, TTok::Greater,
      TTok::Identifier, TTok::StrictEq, TTok::Identifier, TTok::Eq, TTok::Identifier, TTok::Assign,
      TTok::Identifier, TTok::StrictNotEq, TTok::Identifier, TTok::NotEq, TTok::Identifier,
      TTok::Bang, TTok::Identifier, TTok::AmpAmp, TTok::Identifier, TTok::Amp, TTok::Identifier,
      TTok::PipePipe, TTok::Identifier, TTok::Pipe, TTok::Identifier, TTok::PlusPlus,
      TTok::Identifier, TTok::Plus, TTok::Identifier, TTok::MinusMinus, TTok::Identifier,
      TTok::Minus, TTok::Identifier};
  EXPECT_EQ(kinds, expected);
}

// Columns count characters, not bytes; CR LF is one line break; comments count as space, and a
// block comment over a line break counts as a line break.
TEST(Lexer, KnowsWhereEveryTokenIsAndWhatLineBreaksCameBefore) {
  const auto tokens = Tokens(
      "\xEF\xBB\xBF" "a = '\xC3\xA9\xC3\xA9' + b; // note\r\n"
      "\tc /* one\nline */ d /* same line */ e\n"
      "\n"
      "  f");
  struct TExpected {
    const char* Text;
    uint32_t Line, Column;
    bool Newline;
  };
  const TExpected expected[] = {
      {"a", 1, 1, false},  {"", 1, 3, false}, {"\xC3\xA9\xC3\xA9", 1, 5, false},
      {"", 1, 10, false},  {"b", 1, 12, false}, {"", 1, 13, false},
      {"c", 2, 2, true},   {"d", 3, 9, true},   {"e", 3, 27, false},
      {"f", 5, 3, true},
  };
  ASSERT_EQ(tokens.size(), std::size(expected));
  for (size_t i = 0; i < tokens.size(); ++i) {
    SCOPED_TRACE(i);
    if (*expected[i].Text) {
      EXPECT_EQ(tokens[i].Text, expected[i].Text);
    }
    EXPECT_EQ(tokens[i].Pos.Line, expected[i].Line);
    EXPECT_EQ(tokens[i].Pos.Column, expected[i].Column);
    EXPECT_EQ(tokens[i].NewlineBefore, expected[i].Newline);
  }
}

struct TErrorCase {
  std::string Source;
  uint32_t Line, Column;
  const char* Message;
};

TEST(Lexer, ReportsBadSourceWithItsPosition) {
  const TErrorCase cases[] = {
      {"x = \"open", 1, 5, "unterminated string: the closing \" is missing on this line"},
      {"x = 'two\nlines'", 1, 5, "unterminated string: the closing ' is missing on this line"},
      {"a;\n  /* never\n closed", 2, 3, "unterminated comment: '/*' without '*/'"},
      {"'\\x4'", 1, 2, "invalid escape: '\\x' needs 2 hexadecimal digits"},
      {"'\\u12g4'", 1, 2, "invalid escape: '\\u' needs 4 hexadecimal digits"},
      {"'\\012'", 1, 2, "invalid escape: octal escapes are not supported"},
      {"0x", 1, 1, "invalid number: '0x' must be followed by hexadecimal digits"},
      {"1e+", 1, 2, "invalid number: the exponent has no digits"},
      {"3abc", 1, 1, "invalid number: \"3a\" (a name cannot start with a digit)"},
      {"017.5", 1, 1, "invalid number: an octal number has no fraction or exponent"},
      {"a @ b", 1, 3, "unexpected character '@'"},
      {"a \x01 b", 1, 3, "unexpected character (byte 0x01)"},
      {"#include \"x.as\"", 1, 1, "directives such as #include and #initclip are not supported"},
      {"x = '" + std::string(70000, 'a') + "'", 1, 5,
       "The string is longer than 65000 bytes, more than one action record holds"},
      {std::string(65001, 'n'), 1, 1,
       "The name is longer than 65000 bytes, more than one action record holds"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source.substr(0, 40));
    try {
      Tokens(c.Source);
      ADD_FAILURE() << "no error";
    } catch (const asc::ECompileError& e) {
      EXPECT_EQ(e.Message(), c.Message);
      EXPECT_EQ(e.Pos().Line, c.Line);
      EXPECT_EQ(e.Pos().Column, c.Column);
      EXPECT_EQ(std::string(e.what()), "t.as:" + std::to_string(c.Line) + ":" +
                                           std::to_string(c.Column) + ": " + c.Message);
    }
  }
}

}  // namespace
}  // namespace tw::test
