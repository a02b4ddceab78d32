// Corpus tags that hold a value in more bits than it needs. Our writers give every value its
// smallest width, so these tags are written back in a second, equally valid encoding of the same
// fields; a corpus test that compares bytes looks a tag up here before it calls a difference a
// fault, and then compares what the two encodings read back to.
#pragma once

#include <span>
#include <string_view>

namespace tw::test {

struct SecondEncoding {
  const char* file;   // the movie's file name in the corpus
  const char* where;  // "tag N": the N-th tag of the movie, counted from 0 at the top level
  int code;           // the tag code
  const char* reason;
};

std::span<const SecondEncoding> SecondEncodings();
const SecondEncoding* FindSecondEncoding(std::string_view file, std::string_view where);

}  // namespace tw::test
