#include "shell/small_forms.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/music_list.h"
#include "shell/links.h"

namespace tw::shell {

QString DurationText(double fractionOfDay) {
  const long long seconds = std::llround(std::max(0.0, fractionOfDay) * 86400.0);
  return QStringLiteral("%1:%2:%3")
      .arg(seconds / 3600)
      .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

TFormMp3Edit::TFormMp3Edit(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TFormMp3Edit"));
  setWindowTitle(QStringLiteral("Edit Music Information"));
  auto* form = new QFormLayout(this);
  lblPath = new QLabel(this);
  lblPath->setWordWrap(true);
  lblInfo = new QLabel(this);
  edtTitle = new QLineEdit(this);
  edtArtist = new QLineEdit(this);
  edtAlbum = new QLineEdit(this);
  edtTitle->setObjectName(QStringLiteral("edtTitle"));
  edtArtist->setObjectName(QStringLiteral("edtArtist"));
  edtAlbum->setObjectName(QStringLiteral("edtAlbum"));
  chkChangeTag = new QCheckBox(QStringLiteral("Change ID3 tag of MP3 file"), this);
  chkChangeTag->setObjectName(QStringLiteral("chkChangeTag"));
  form->addRow(QStringLiteral("File:"), lblPath);
  form->addRow(QString(), lblInfo);
  form->addRow(QStringLiteral("Title:"), edtTitle);
  form->addRow(QStringLiteral("Artist:"), edtArtist);
  form->addRow(QStringLiteral("Album:"), edtAlbum);
  form->addRow(QString(), chkChangeTag);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  resize(460, sizeHint().height());
}

void TFormMp3Edit::Show(const app::TMP3Info& info) {
  lblPath->setText(QString::fromStdString(info.Path));
  lblInfo->setText(QStringLiteral("Duration: %1   Sample rate: %2 Hz   Bit rate: %3   Mode: %4")
                       .arg(DurationText(info.Duration))
                       .arg(info.SampleRate)
                       .arg(info.BitRate)
                       .arg(QString::fromStdString(info.Mode)));
  edtTitle->setText(QString::fromStdString(info.Title));
  edtArtist->setText(QString::fromStdString(info.Artist));
  edtAlbum->setText(QString::fromStdString(info.Album));
  const bool mp3 = app::CanWriteTag(info);
  chkChangeTag->setChecked(mp3);
  chkChangeTag->setEnabled(mp3);
}

namespace {

QLabel* Link(const char* url, QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(url)), parent);
  label->setOpenExternalLinks(true);
  return label;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TFormAbout"));
  setWindowTitle(QStringLiteral("About"));
  auto* box = new QVBoxLayout(this);
  auto* title = new QLabel(QStringLiteral("<b>Dovetek Tunewright</b>"), this);
  box->addWidget(title);
  box->addWidget(new QLabel(QStringLiteral("Version 3.4"), this));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Website:"), Link(links::kHomePage, this));
  form->addRow(QStringLiteral("Contact Us:"), Link(links::kContactPage, this));
  box->addLayout(form);
  box->addWidget(new QLabel(QStringLiteral("<b>Credits</b>"), this));
  auto* credits = new QFormLayout;
  credits->addRow(QStringLiteral("MP3 encoding engine:  LAME"), Link(links::kLameProject, this));
  credits->addRow(QStringLiteral("FLV converting engine:  FFMPEG"),
                  Link(links::kFfmpegProject, this));
  box->addLayout(credits);
  auto* ok = new QPushButton(QStringLiteral("Ok"), this);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  box->addWidget(ok, 0, Qt::AlignRight);
}

}  // namespace tw::shell
