#ifndef QM_UI_MAIN_H
#define QM_UI_MAIN_H

// TMainForm: the uninstaller's one window. Its operations are defined where
// their subsystem lives: app/ (start-up, configuration), removal/ (the Delete
// command), feedback/, and ui/: Main.cpp (lifetime, message dispatch),
// Layout.cpp (design table, creation, scaling), Panel.cpp (the panel's
// painted labels and pictures), Handlers.cpp (the controls' event handlers),
// LanguageApply.cpp (texts of the current language), ToolTip.cpp and
// DefaultButton.cpp.

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/Accessible.h"
#include "ui/Controls.h"
#include "ui/HrefLabel.h"
#include "ui/Lang.h"

class TIdHTTP;
struct TTreeListing;
enum class TFolderRole : int;

class TMainForm {
 public:
  TMainForm();
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // Creates the window and its controls from the stored layout, then runs
  // FormCreate; an error there is shown in the error box and creation goes on.
  void Create();
  HWND Handle() const { return FHandle; }

  // --- Lifetime (app/Startup.cpp) ---
  void FormCreate();
  void FormShow();
  void FormDestroy();
  // Hands over to a copy in the temp folder when running as "uninstall.exe".
  void RelocateToTemp();

  // --- Configuration (app/Config.cpp) ---
  // Creates UninIni, reads the shared values; returns the folder to delete.
  std::u16string ReadConfiguration();
  // The folder the product registered, or the empty text; never throws.
  std::u16string GetUninstallPath();

  // --- The Delete command (removal/) ---
  // The click handler of InsButton: the uninstall run, in plain or feedback mode.
  void InsButtonClick();
  // The core of the removal: folder with progress, then the registry.
  void RunUninstall(const TTreeListing* counted = nullptr);
  // Deletes the tree at path, advancing PB once per deleted file; never
  // throws. role says how a link at path is treated and what stays for the
  // last step; kept holds the listings of a count of the same folder just
  // before.
  void DeleteFolder(const std::u16string& path, TFolderRole role, const TTreeListing* kept = nullptr);
  // Removes the product's registry entries but its entry in the list of
  // installed programs; never throws.
  void CleanRegistry();
  // Removes the product's entry in the list of installed programs; never throws.
  void RemoveUninstallEntry();
  // Removes the Start-menu group and the configured shortcuts.
  void RemoveShortcuts();
  // Has the executable deleted after the process ends, and ends it.
  [[noreturn]] void SelfDelete();

  // --- Feedback (feedback/) ---
  // Posts the feedback form to DelURL; throws on every failure.
  void SendFeedback();

  // --- Window (ui/) ---
  // Sets CurLang and every language-dependent text of the window.
  void ApplyLanguage(int index);
  // Puts the five flag icons of Flags into their pictures.
  void FillFlags();
  // Opens the feedback panel when it is closed, closes it when it is open.
  void ToggleFeedback();
  // The close operation: ends the uninstaller once this is the main window;
  // before that it only hides the window.
  void Close();
  // Shows the window, centred on the screen, after running FormShow.
  void ShowMainWindow();

  // Event handlers of the window's controls.
  void ULabelClick();
  void Label2Click();
  void Label5Click();
  void LblDutchClick();
  void LblPolishClick();
  void OpenURLMouseEnter(TGraphicLabel& label);
  void OpenURLMouseLeave(TGraphicLabel& label);
  void OpenURL_Click();
  void OsnLabelGotoLink(THrefLabel* sender);
  void Button3Click();
  // A click on a painted control of the panel, by the mouse or as its
  // accessible default action: runs the handler of a language name or of the
  // web-site link; a picture, another label or a hidden control does nothing.
  void ClickGraphic(const TGraphicControl& control);

  // The module whose resources hold the artwork; null: the executable.
  HMODULE ResourceModule = nullptr;

  // --- Controls, in creation order ---
  TControl SPanel;
  TGraphicPicture LogoImage;
  TGraphicLabel ULabel;
  TGraphicPicture Image1;
  TGraphicLabel OpenURL;
  TGraphicPicture FlagImage;
  TGraphicLabel ver_lb;
  TGraphicLabel InfLabel;
  TGraphicPicture UaImage;
  TGraphicLabel Label2;
  TGraphicPicture EnImage;
  TGraphicLabel Label5;
  TGraphicLabel Label1;
  TGraphicLabel Label3;
  TGraphicPicture DutchFlag;
  TGraphicLabel lblDutch;
  TGraphicPicture PolishFlag;
  TGraphicLabel Label4;
  TControl Memo1;
  TControl Edit1;
  TControl InsButton;
  TControl Button3;
  TControl PB;
  std::unique_ptr<THrefLabel> OsnLabel;
  TControl uLang;
  HIMAGELIST Flags = nullptr;
  // The feedback's HTTP client; SendFeedback destroys it after its one request.
  std::unique_ptr<TIdHTTP> IdHTTP1;

  // The lines of uLang (the language table).
  TStrings LangLines() const;
  void SetLangLines(const TStrings& lines);

  // Window caption.
  std::u16string Caption() const;
  void SetCaption(const std::u16string& caption);

  // Design (96 dpi) positions and sizes to pixels.
  int Scale(int designUnits) const;
  // A design font height (pixels at 96 dpi) to pixels at the screen's setting.
  int ScaleFont(int designHeight) const;
  // The screen's dots per inch, as the window was laid out for.
  int Dpi() const { return FDpi; }

 private:
  friend class TMainFormAccess;
  // Main.cpp
  static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  static void RegisterClasses(HINSTANCE inst);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void OnCommand(int id, int code);
  // Layout.cpp
  void CreateControls();
  void CreatePanelControls();
  void FitLanguageColumn();
  void CreateWindowControls();
  void CreateOsnLabel();
  void LoadArt();
  void InitScaling();
  LOGFONTW LogFontOf(const TFontSpec& font) const;
  RECT ScaleRect(const TDesignRect& rect) const;
  // Panel.cpp
  // The panel's painted controls as the children of its accessible object.
  class TPanelParts final : public TAccessibleSource {
   public:
    explicit TPanelParts(TMainForm& form) : FForm(form) {}
    long ChildCount() const override;
    TAccessibleChild Child(long id) const override;
    long ChildAt(POINT pt) const override;
    void DoDefaultAction(long id) override;

   private:
    TMainForm& FForm;
  };
  static LRESULT CALLBACK PanelProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandlePanelMessage(UINT msg, WPARAM wp, LPARAM lp);
  void PaintPanel(HDC dc);
  TGraphicControl* GraphicAt(POINT pt) const;
  TGraphicLabel* ActiveLabelAt(POINT pt);
  void OnPanelButtonDown(POINT pt);
  void OnPanelButtonUp(POINT pt);
  void OnPanelMouseMove(POINT pt);
  // ToolTip.cpp
  void CreateToolTip();
  void SyncToolTip();
  // DefaultButton.cpp
  HWND DefaultButton() const;
  void UpdateDefaultButton();

  HWND FHandle = nullptr;
  std::vector<TGraphicControl*> FGraphics;  // the panel's, in creation order
  TGraphicLabel* FHover = nullptr;
  TGraphicControl* FPressed = nullptr;
  bool FPanelTracking = false;
  HWND FToolTip = nullptr;
  HWND FFocus = nullptr;  // the control that had the focus when the window was deactivated
  int FDpi = 96;
  int FScaleNum = 13;
  int FScaleDen = 13;
  TGdiObject FWindowFont;
  std::vector<TGdiObject> FControlFonts;
  TGdiObject FPanelBrush;
  TPanelParts FPanelParts{*this};
  TAccessibleHost FPanelAccessible;  // made at the first client's request
};

extern TMainForm* MainForm;

// Sets CurLang from the system's default language.
void ChooseLanguage();

#endif
