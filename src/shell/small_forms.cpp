#include "shell/small_forms.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
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

TFormMp3Edit::TFormMp3Edit(QWidget* parent, const TLanguage& lang) : QDialog(parent) {
  setObjectName(QStringLiteral("TFormMp3Edit"));
  FTexts.Bind([this](const TLanguage& l) { setWindowTitle(Tr(l, "Edit File Properties")); });
  auto* box = new QVBoxLayout(this);
  const auto label = [this](QWidget* parent, std::string_view key, std::string_view addition) {
    return FTexts.Text(new QLabel(parent), key, addition);
  };

  auto* encoding = FTexts.Title(new QGroupBox(this), "Encoding parameters");
  auto* info = new QFormLayout(encoding);
  // A path wraps nowhere sensible and a wrapped label is cut by the form: the dialog widens
  // to the path instead (Show).
  lblPath = new QLabel(encoding);
  lblPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblDuration = new QLabel(encoding);
  lblSampleRate = new QLabel(encoding);
  lblBitRate = new QLabel(encoding);
  lblChannels = new QLabel(encoding);
  info->addRow(label(encoding, "File name", ":"), lblPath);
  info->addRow(label(encoding, "Duration", ":"), lblDuration);
  info->addRow(label(encoding, "Sampling rate:", {}), lblSampleRate);
  info->addRow(label(encoding, "Bit rate:", {}), lblBitRate);
  info->addRow(label(encoding, "Channels:", {}), lblChannels);
  box->addWidget(encoding);

  auto* tag = FTexts.Title(new QGroupBox(this), "MP3 ID3 tag");
  auto* form = new QFormLayout(tag);
  edtTitle = new QLineEdit(tag);
  edtArtist = new QLineEdit(tag);
  edtAlbum = new QLineEdit(tag);
  edtTitle->setObjectName(QStringLiteral("edtTitle"));
  edtArtist->setObjectName(QStringLiteral("edtArtist"));
  edtAlbum->setObjectName(QStringLiteral("edtAlbum"));
  form->addRow(label(tag, "Title", ":"), edtTitle);
  form->addRow(label(tag, "Artist", ":"), edtArtist);
  form->addRow(label(tag, "Album", ":"), edtAlbum);
  chkChangeTag = FTexts.Text(new QCheckBox(tag), "Change ID3 tag of MP3 file");
  chkChangeTag->setObjectName(QStringLiteral("chkChangeTag"));
  form->addRow(chkChangeTag);
  box->addWidget(tag);

  auto* buttons = new QDialogButtonBox(this);
  FTexts.Text(buttons->addButton(QString(), QDialogButtonBox::AcceptRole), "Ok");
  FTexts.Text(buttons->addButton(QString(), QDialogButtonBox::RejectRole), "Cancel");
  box->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  ApplyTexts(lang);
  resize(460, sizeHint().height());
}

void TFormMp3Edit::ApplyTexts(const TLanguage& lang) { FTexts.Apply(lang); }

void TFormMp3Edit::Show(const app::TMP3Info& info) {
  lblPath->setText(QString::fromStdString(info.Path));
  lblDuration->setText(DurationText(info.Duration));
  lblSampleRate->setText(QStringLiteral("%1 Hz").arg(info.SampleRate));
  lblBitRate->setText(QString::number(info.BitRate));
  lblChannels->setText(QString::fromStdString(info.Mode));
  edtTitle->setText(QString::fromStdString(info.Title));
  edtArtist->setText(QString::fromStdString(info.Artist));
  edtAlbum->setText(QString::fromStdString(info.Album));
  const bool mp3 = app::CanWriteTag(info);
  chkChangeTag->setChecked(mp3);
  chkChangeTag->setEnabled(mp3);
  resize(std::max(460, sizeHint().width()), sizeHint().height());
}

namespace {

QLabel* Link(const char* url, QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(url)), parent);
  label->setOpenExternalLinks(true);
  return label;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* parent, const TLanguage& lang) : QDialog(parent) {
  setObjectName(QStringLiteral("TFormAbout"));
  FTexts.Bind([this](const TLanguage& l) { setWindowTitle(Tr(l, "About")); });
  auto* box = new QVBoxLayout(this);
  const auto bold = [this](std::string_view key) {
    auto* label = new QLabel(this);
    FTexts.Bind([label, key](const TLanguage& l) {
      label->setText(QStringLiteral("<b>%1</b>").arg(Tr(l, key).toHtmlEscaped()));
    });
    return label;
  };
  const auto plain = [this](std::string_view key, std::string_view addition) {
    return FTexts.Text(new QLabel(this), key, addition);
  };
  box->addWidget(bold("Dovetek Tunewright"));
  box->addWidget(plain("Version", " 3.4"));
  auto* form = new QFormLayout;
  form->addRow(plain("Website", ":"), Link(links::kHomePage, this));
  form->addRow(plain("Contact Us", ":"), Link(links::kContactPage, this));
  box->addLayout(form);
  box->addWidget(bold("Credits"));
  auto* credits = new QFormLayout;
  credits->addRow(plain("MP3 encoding engine", ":  LAME"), Link(links::kLameProject, this));
  credits->addRow(plain("FLV converting engine", ":  FFMPEG"), Link(links::kFfmpegProject, this));
  box->addLayout(credits);
  auto* ok = FTexts.Text(new QPushButton(this), "Ok");
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  box->addWidget(ok, 0, Qt::AlignRight);
  ApplyTexts(lang);
}

void TFormAbout::ApplyTexts(const TLanguage& lang) { FTexts.Apply(lang); }

}  // namespace tw::shell
