// The view of a run without a window (/VERYSILENT): it keeps what the
// controller tells it (the folder field, the page) and shows nothing; the
// error box and the question, which the controller only asks for when
// boxes are not suppressed, go to the functions it is given (boxes without
// an owner window, on Windows) with the title of the wizard's language.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "wizard/WizardView.h"

namespace setup {

class THiddenView : public IWizardView {
 public:
  // Each takes the title, then the text.
  using Box = std::function<void(const std::string&, const std::string&)>;
  using Question = std::function<bool(const std::string&, const std::string&)>;
  THiddenView(Box showError, Question askYesNo)
      : showError_(std::move(showError)), askYesNo_(std::move(askYesNo)) {}

  void SetTexts(const TWizardTexts& texts) override { title_ = texts.appTitle; }
  void SetCaption(const std::string&) override {}
  void SetLabelCaption(TaFormLabel, const std::string&) override {}
  void SetLinkHint(const std::string&) override {}
  std::string Edit1Text() const override { return edit1_; }
  void SetEdit1Text(const std::string& text) override { edit1_ = text; }
  void ShowPage(int index) override { page_ = index; }
  int CurrentPage() const override { return page_; }
  void SetButtonEnabled(TaFormButton, bool) override {}
  void SetButtonCaption(TaFormButton, const std::string&) override {}
  void ShowChoice(TaFormChoice, bool, const std::string&) override {}
  void SetChoiceChecked(TaFormChoice choice, bool checked) override { checked_[choice] = checked; }
  bool ChoiceChecked(TaFormChoice choice) const override {
    const auto it = checked_.find(choice);
    return it != checked_.end() && it->second;
  }
  void SetProgress(int) override {}
  void LoadPicture(const std::string&) override {}
  void ProcessMessages() override {}
  void Close() override {}
  void ShowErrorBox(const std::string& text) override { showError_(title_, text); }
  bool AskYesNo(const std::string& text) override { return askYesNo_(title_, text); }

 private:
  Box showError_;
  Question askYesNo_;
  std::string title_;
  std::string edit1_;
  int page_ = 0;
  std::map<TaFormChoice, bool> checked_;
};

}  // namespace setup
