#include "shell/plain_preview.h"

#include <QFileInfo>
#include <QLabel>

namespace tw::shell {

namespace {

class TPlainPreview : public QLabel, public TPreviewDisplay {
 public:
  explicit TPlainPreview(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setFrameShape(QFrame::StyledPanel);
    setContextMenuPolicy(Qt::NoContextMenu);
    Clear();
  }
  QWidget* Widget() override { return this; }
  void ShowMovie(const QString& swfPath) override {
    const QFileInfo info(swfPath);
    setText(QStringLiteral("Preview movie built (this display does not play it):\n%1\n%2 bytes")
                .arg(swfPath)
                .arg(info.exists() ? info.size() : 0));
  }
  void Clear() override { setText(QStringLiteral("No preview")); }
};

}  // namespace

TPreviewDisplay* CreatePlainPreview(QWidget* parent) { return new TPlainPreview(parent); }

}  // namespace tw::shell
