// The preview display of the program: the Ruffle emulator in a web view, fed by the program's
// own server on 127.0.0.1 (see preview_server.h).
#pragma once

#include <QString>
#include <memory>

#include "shell/preview_display.h"

class QWidget;

namespace tw::shell {

// A display whose widget is a web view, a child of parent, playing the emulator from the program
// folder's ruffle/. Run as root, it turns the web engine's sandbox off (QTWEBENGINE_DISABLE_SANDBOX),
// which the engine refuses to start with otherwise; the first display must therefore be made
// before anything else of the web engine.
std::unique_ptr<TPreviewDisplay> CreateRufflePreview(QWidget* parent);
// The same with the emulator's files taken from another folder.
std::unique_ptr<TPreviewDisplay> CreateRufflePreview(QWidget* parent, const QString& ruffleFolder);

}  // namespace tw::shell
