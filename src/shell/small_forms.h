// The tag editor of a song and the About box.
#pragma once

#include <QDialog>

#include "app/project.h"
#include "shell/language.h"
#include "shell/texts.h"

class QCheckBox;
class QLineEdit;
class QLabel;

namespace tw::shell {

// The duration of a song (a fraction of a day) as hours:minutes:seconds, hours without a
// leading zero: 0:04:05.
QString DurationText(double fractionOfDay);

class TFormMp3Edit : public QDialog {
 public:
  explicit TFormMp3Edit(QWidget* parent, const TLanguage& lang = {});
  // Fills the fields from the record; the tag box is on and enabled for an MP3 only.
  void Show(const app::TMP3Info& info);
  void ApplyTexts(const TLanguage& lang);

  QLabel* lblPath;
  QLabel* lblDuration;
  QLabel* lblSampleRate;
  QLabel* lblBitRate;
  QLabel* lblChannels;
  QLineEdit* edtTitle;
  QLineEdit* edtArtist;
  QLineEdit* edtAlbum;
  QCheckBox* chkChangeTag;

 private:
  TTextBindings FTexts;
};

class TFormAbout : public QDialog {
 public:
  explicit TFormAbout(QWidget* parent, const TLanguage& lang = {});
  void ApplyTexts(const TLanguage& lang);

 private:
  TTextBindings FTexts;
};

}  // namespace tw::shell
