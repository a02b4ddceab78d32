// The one exception type of the SWF file layer; its message is the text the user sees.
#pragma once

#include <stdexcept>

namespace tw::swf {

class ESWFError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tw::swf
