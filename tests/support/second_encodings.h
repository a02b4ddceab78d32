// Corpus tags that hold a value in more bits than it needs. Our writers give every value its
// smallest width, so these tags are written back in a second, equally valid encoding of the same
// fields; a corpus test that compares bytes looks a tag up here before it calls a difference a
// fault, and then compares what the two encodings read back to.
#pragma once

#include <functional>
#include <span>
#include <string_view>

#include "swf/tag.h"

namespace tw::test {

struct SecondEncoding {
  const char* file;   // the movie's file name in the corpus
  const char* where;  // "tag N": the N-th tag of the movie, counted from 0 at the top level
  int code;           // the tag code
  const char* reason;
};

std::span<const SecondEncoding> SecondEncodings();
const SecondEncoding* FindSecondEncoding(std::string_view file, std::string_view where);

// Whether what differs between the source and our bytes is what the named case says: the
// source has what it names, and our bytes settle it (asRead: the tag read from the source;
// back: read from our bytes).
bool SecondEncodingHolds(const SecondEncoding& named, const swf::TSWFObject& asRead,
                         const swf::TSWFObject& back, std::span<const uint8_t> source,
                         std::span<const uint8_t> written);

// A second encoding that a rule recognises wherever it occurs: the source has what the rule
// names and our bytes settle it, given the tag as read from its source body (asRead), as read
// from the body our writer gave it (back), and both bodies.
struct SecondEncodingRule {
  const char* name;
  std::function<bool(const swf::TSWFObject& asRead, const swf::TSWFObject& back,
                     std::span<const uint8_t> source, std::span<const uint8_t> written)>
      applies;
};
std::span<const SecondEncodingRule> SecondEncodingRules();

// Why a top-level tag of a corpus movie is written back in other bytes than it was read from: a
// named case or a rule; nullptr when nothing explains it. The tag is read afresh from the source
// with the context.
const char* ExplainSecondEncoding(std::string_view file, size_t index, uint16_t code,
                                  const swf::TSWFReadContext& context,
                                  std::span<const uint8_t> source, std::span<const uint8_t> written);
// The same for a tag named by where ("tag 12", or "tag 12/3" for the third inner tag of the
// sprite at 12).
const char* ExplainSecondEncoding(std::string_view file, std::string_view where, uint16_t code,
                                  const swf::TSWFReadContext& context,
                                  std::span<const uint8_t> source, std::span<const uint8_t> written);

}  // namespace tw::test
