// The area of the player page that shows the stage movie. The window talks to it through this
// narrow interface, so that the window's logic runs in tests without a web engine.
#pragma once

#include <QString>

class QWidget;

namespace tw::shell {

class TPreviewDisplay {
 public:
  virtual ~TPreviewDisplay() = default;
  // The widget the page lays out; owned by the display's parent widget.
  virtual QWidget* Widget() = 0;
  // Shows the movie at 1:1 without a context menu; loads it anew even when the path is unchanged.
  virtual void ShowMovie(const QString& swfPath) = 0;
  // Shows nothing (an empty area).
  virtual void Clear() = 0;
};

}  // namespace tw::shell
