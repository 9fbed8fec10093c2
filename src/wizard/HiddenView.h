// The view of a run without a window (/VERYSILENT): it keeps what the
// controller tells it (the folder field, the page) and shows nothing; the
// error box and the question, which the controller only asks for when
// boxes are not suppressed, go to the functions it is given (boxes without
// an owner window, on Windows).
#pragma once

#include <functional>
#include <string>

#include "wizard/WizardView.h"

namespace setup {

class THiddenView : public IWizardView {
 public:
  THiddenView(std::function<void(const std::string&)> showError,
              std::function<bool(const std::string&)> askYesNo)
      : showError_(std::move(showError)), askYesNo_(std::move(askYesNo)) {}

  void SetCaption(const std::string&) override {}
  void SetLabelCaption(TaFormLabel, const std::string&) override {}
  void SetLinkHint(const std::string&) override {}
  std::string Edit1Text() const override { return edit1_; }
  void SetEdit1Text(const std::string& text) override { edit1_ = text; }
  void ShowPage(int index) override { page_ = index; }
  int CurrentPage() const override { return page_; }
  void SetButtonEnabled(TaFormButton, bool) override {}
  void SetButtonCaption(TaFormButton, const std::string&) override {}
  void SetProgress(int) override {}
  void LoadPicture(const std::string&) override {}
  void ProcessMessages() override {}
  void Close() override {}
  void ShowErrorBox(const std::string& text) override { showError_(text); }
  bool AskYesNo(const std::string& text) override { return askYesNo_(text); }

 private:
  std::function<void(const std::string&)> showError_;
  std::function<bool(const std::string&)> askYesNo_;
  std::string edit1_;
  int page_ = 0;
};

}  // namespace setup
