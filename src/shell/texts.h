// The texts of a window, each bound where its control is made: applying a language sets every
// one of them, so that no control keeps the old language after a switch.
#pragma once

#include <QComboBox>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <functional>
#include <string_view>
#include <vector>

#include "shell/language.h"

namespace tw::shell {

inline QString Tr(const TLanguage& lang, std::string_view english) {
  return QString::fromStdString(lang.Text(english));
}

class TTextBindings {
 public:
  using TSetter = std::function<void(const TLanguage&)>;

  void Bind(TSetter setter) { FSetters.push_back(std::move(setter)); }
  void Apply(const TLanguage& lang) const {
    for (const TSetter& set : FSetters) set(lang);
  }

  // The control's text: the translation, then the fixed addition.
  template <class W>
  W* Text(W* w, std::string_view key, std::string_view addition = {}) {
    Bind([w, key, addition](const TLanguage& l) {
      w->setText(Tr(l, key) + QString::fromUtf8(addition.data(), static_cast<int>(addition.size())));
    });
    return w;
  }
  template <class W>
  W* Title(W* w, std::string_view key) {
    Bind([w, key](const TLanguage& l) { w->setTitle(Tr(l, key)); });
    return w;
  }
  template <class W>
  W* Hint(W* w, std::string_view key) {
    Bind([w, key](const TLanguage& l) { w->setToolTip(Tr(l, key)); });
    return w;
  }
  // A list of texts: each item translated in place, so the selected index stays as it was and
  // no change of selection is announced.
  QComboBox* Items(QComboBox* combo, std::vector<std::string_view> list) {
    for (std::string_view key : list)
      combo->addItem(QString::fromUtf8(key.data(), static_cast<int>(key.size())));
    Bind([combo, list](const TLanguage& l) {
      for (size_t i = 0; i < list.size(); ++i) combo->setItemText(static_cast<int>(i), Tr(l, list[i]));
    });
    return combo;
  }
  QTreeWidget* Heads(QTreeWidget* list, std::vector<std::string_view> keys) {
    Bind([list, keys](const TLanguage& l) {
      QStringList heads;
      for (std::string_view key : keys) heads << Tr(l, key);
      list->setHeaderLabels(heads);
    });
    return list;
  }

 private:
  std::vector<TSetter> FSetters;
};

}  // namespace tw::shell
