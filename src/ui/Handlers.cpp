// The window's own event handlers: the language clicks, the hover
// underline, the web-site link, the feedback panel and Cancel.

#include "ui/Main.h"

#include <shellapi.h>

#include "base/Win32Text.h"

void TMainForm::ToggleFeedback() {
  const bool open = !Memo1.Visible();
  Memo1.SetVisible(open);
  Edit1.SetVisible(open);
  Label1.SetVisible(open);
  InsButton.SetCaption(GetLangValue(LangLines(), CurLang, open ? u"9" : u"4"));
  Image1.SetVisible(!open);
  OpenURL.SetVisible(!open);
  SyncToolTip();
}

void TMainForm::ULabelClick() { ApplyLanguage(0); }
void TMainForm::Label2Click() { ApplyLanguage(1); }
void TMainForm::Label5Click() { ApplyLanguage(2); }
void TMainForm::LblDutchClick() { ApplyLanguage(3); }
void TMainForm::LblPolishClick() { ApplyLanguage(4); }
void TMainForm::OpenURLMouseEnter(TGraphicLabel& label) { label.SetUnderline(true); }
void TMainForm::OpenURLMouseLeave(TGraphicLabel& label) { label.SetUnderline(false); }

void TMainForm::OpenURL_Click() {
  ShellExecuteW(nullptr, L"open", W(OpenURL.Caption()), nullptr, nullptr, SW_SHOWNORMAL);
}

void TMainForm::OsnLabelGotoLink(THrefLabel*) { ToggleFeedback(); }
void TMainForm::Button3Click() { Close(); }
