#include "builder/compile_context.h"

namespace tw::builder {

// The program has no ActionScript compiler: scripts report that through the movie's ErrorStream.
std::unique_ptr<TCompileContext> NewCompileContext(TFlashMovie& movie) {
  (void)movie;
  return nullptr;
}

}  // namespace tw::builder
