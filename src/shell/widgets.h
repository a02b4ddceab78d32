// Widgets are made with the object names the tests and the window tour find them by.
#pragma once

#include <QLatin1String>

namespace tw::shell {

template <class W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

}  // namespace tw::shell
