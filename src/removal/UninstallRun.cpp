// The Delete command: the only path that removes anything.

#include <windows.h>
#include <commctrl.h>

#include "app/Application.h"
#include "app/Startup.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "removal/FolderRemoval.h"
#include "ui/Main.h"

namespace {

// The feedback fields are usable: an "@" in the address and a message that
// is not blank once characters up to U+0020 are trimmed from both ends.
bool FeedbackFieldsFilled(const std::u16string& email, const std::u16string& message) {
  return email.find(u'@') != std::u16string::npos && !Trim(message).empty();
}

}  // namespace

void TMainForm::InsButtonClick() {
  // The count uses the folder registered now; the deletion, the folder shown.
  const std::u16string counted = GetUninstallPath();
  SendMessageW(PB.Handle, PBM_SETRANGE32, 0, CountEntries(counted));

  const bool feedback = Memo1.Visible();
  if (feedback) {
    if (!FeedbackFieldsFilled(Edit1.Caption(), Memo1.Caption())) {
      Application.MsgBox(EmptyFieldsMsg, MB_OK);
      return;
    }
    ToggleFeedback();
    try {
      SendFeedback();
    } catch (...) {
      // The removal goes on whether or not the feedback arrived.
    }
  }
  RunUninstall();
  try {
    // Normally gone by now; removed once more if it is left empty. The same
    // guard as the walk keeps an empty system folder from going with it.
    if (const auto target = RemovableFolder(InfLabel.Caption())) RemoveFolderOf(*target);
  } catch (...) {
  }
  RemoveShortcuts();
  SelfDelete();
}

void TMainForm::RunUninstall() {
  OsnLabel->SetVisible(false);
  PB.Show();
  UpdateWindow(FHandle);
  const std::u16string folder = InfLabel.Caption();
  // A folder that is a process's current folder cannot be removed (Windows
  // keeps it open without delete sharing; Wine does the same), and the copy
  // inherits the current folder of the instance started in the product
  // folder. The removal leaves it for the temporary folder first.
  if (const std::u16string temp = GetTempDir(); !temp.empty()) SetCurrentDirectoryW(W(temp));
  if (!folder.empty()) DeleteFolder(folder);
  CleanRegistry();
}
