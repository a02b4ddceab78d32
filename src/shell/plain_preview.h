// A preview area that names the movie it was given instead of playing it: what the program shows
// where no Flash runtime view is built in.
#pragma once

#include "shell/preview_display.h"

namespace tw::shell {

TPreviewDisplay* CreatePlainPreview(QWidget* parent);

}  // namespace tw::shell
