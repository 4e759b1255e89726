#ifndef QM_UI_CONTROLIDS_H
#define QM_UI_CONTROLIDS_H

// Control identifiers of the main window's child windows, shared with the
// automation driver of the tests. Portable.

enum TControlId : int {
  idSPanel = 1001,
  idInsButton = 1002,
  idButton3 = 1003,
  idPB = 1004,
  idOsnLabel = 1005,
  idULang = 1006,
  idMemo1 = 1007,
  idEdit1 = 1008,
};

// Window classes of the program's own windows.
#define QM_MAINFORM_CLASS u"TMainForm"
#define QM_PANEL_CLASS u"TPanel"
#define QM_HREFLABEL_CLASS u"THrefLabel"

#endif
