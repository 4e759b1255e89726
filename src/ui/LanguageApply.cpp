#include "app/Application.h"
#include "app/Config.h"
#include "base/Text.h"
#include "ui/Main.h"

void ChooseLanguage() { CurLang = LangIndexFromLangId(GetSystemDefaultLangID()); }

void TMainForm::ApplyLanguage(int index) {
  const TStrings lines = LangLines();
  auto v = [&](const char16_t* key) { return GetLangValue(lines, index, key); };
  CurLang = index;
  OsnLabel->SetCaption(FormatOne(u"<a>" + v(u"1") + u"</a>", AppName));
  Label3.SetCaption(v(u"2"));
  Button3.SetCaption(v(u"3"));
  InsButton.SetCaption(v(u"4"));
  SetCaption(FormatOne(v(u"6"), AppName));
  OpenURL.SetCaption(v(u"10"));
  OpenURL.Hint = v(u"11");
  SyncToolTip();
  EmptyFieldsMsg = v(u"8");
  OsnLabel->Repaint();
  Application.Title = Caption();
  if (Memo1.Visible()) InsButton.SetCaption(v(u"9"));
}
