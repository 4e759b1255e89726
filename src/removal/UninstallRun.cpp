// The Delete command: the only path that removes anything.

#include <windows.h>
#include <commctrl.h>

#include "app/Application.h"
#include "app/Responsive.h"
#include "app/Startup.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "removal/FolderRemoval.h"
#include "ui/Main.h"

namespace {

// How long the removal waits for the instance that handed over to end.
constexpr unsigned HandOverWaitMs = 5000;

// The feedback fields are usable: an "@" in the address and a message that
// is not blank once characters up to U+0020 are trimmed from both ends.
bool FeedbackFieldsFilled(const std::u16string& email, const std::u16string& message) {
  return email.find(u'@') != std::u16string::npos && !Trim(message).empty();
}

}  // namespace

void TMainForm::InsButtonClick() {
  bool fieldsMissing = false;
  {
    // From the click to the end, the window answers but input does nothing.
    TBusyScope busy;
    // The end of the session waits for the command to end.
    TSessionHold session(FHandle);
    // The instance that handed over may still be ending in the product
    // folder, holding "uninstall.exe" and writing its "unin.ini": the folder
    // is looked at once it has ended (or after a few seconds, when what it
    // holds stays).
    WaitForHandingOverInstance(HandOverWaitMs);
    // The count uses the folder registered now; the deletion, the folder
    // shown. In plain mode the walk follows at once, and when both are one
    // folder it walks the count's listings.
    const std::u16string counted = GetUninstallPath();
    const bool feedback = Memo1.Visible();
    TTreeListing listing;
    SendMessageW(PB.Handle, PBM_SETRANGE32, 0, feedback ? CountEntries(counted) : CountEntries(counted, listing));

    if (feedback && !FeedbackFieldsFilled(Edit1.Caption(), Memo1.Caption())) {
      fieldsMissing = true;
    } else {
      if (feedback) {
        ToggleFeedback();
        try {
          SendFeedback();
        } catch (...) {
          // The removal goes on whether or not the feedback arrived.
        }
      }
      RunUninstall(feedback ? nullptr : &listing);
      listing = TTreeListing();
      // "uninstall.exe" and the product's entry in the list of installed
      // programs go last: a removal ended midway (power cut, Task Manager,
      // the session's end) is finished by running it again from that list.
      RemoveShortcuts();
      bool uninstallerGone = true;
      try {
        // The uninstaller the walk passed over, then the folder once empty.
        // The same guard as the walk keeps an empty system folder from going with it.
        uninstallerGone = RemoveFolderAgain(InfLabel.Caption(), PB.Handle);
      } catch (...) {
      }
      // An uninstaller that could not go keeps its entry, to be run again.
      if (uninstallerGone) RemoveUninstallEntry();
      SelfDelete();
    }
  }
  // Outside the busy state: an end request taken meanwhile is pending again,
  // and closes the box at once.
  if (fieldsMissing) Application.MsgBox(EmptyFieldsMsg, MB_OK);
}

void TMainForm::RunUninstall(const TTreeListing* counted) {
  OsnLabel->SetVisible(false);
  PB.Show();
  UpdateWindow(FHandle);
  const std::u16string folder = InfLabel.Caption();
  // A folder that is a process's current folder cannot be removed (Windows
  // keeps it open without delete sharing; Wine does the same), and the copy
  // inherits the current folder of the instance started in the product
  // folder. The removal leaves it for the temporary folder first.
  if (const std::u16string temp = GetTempDir(); !temp.empty()) SetCurrentDirectoryW(W(temp));
  // The count's listings serve only the folder they list, and only where
  // each of its folders is still the one listed.
  if (!folder.empty()) DeleteFolder(folder, TFolderRole::Product, counted);
  CleanRegistry();
}
