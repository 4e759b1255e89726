#include "app/Application.h"
#include "app/Config.h"
#include "base/Text.h"
#include "base/Win32Text.h"
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

TStrings TMainForm::LangLines() const {
  TStrings lines;
  const LRESULT n = SendMessageW(uLang.Handle, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    const LRESULT len = SendMessageW(uLang.Handle, LB_GETTEXTLEN, i, 0);
    std::u16string s(static_cast<size_t>(len < 0 ? 0 : len) + 1, u'\0');
    const LRESULT got = SendMessageW(uLang.Handle, LB_GETTEXT, i, reinterpret_cast<LPARAM>(s.data()));
    s.resize(got < 0 ? 0 : static_cast<size_t>(got));
    lines.push_back(std::move(s));
  }
  return lines;
}

void TMainForm::SetLangLines(const TStrings& lines) {
  SendMessageW(uLang.Handle, LB_RESETCONTENT, 0, 0);
  for (const auto& line : lines) SendMessageW(uLang.Handle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(line)));
}
