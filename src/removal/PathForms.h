#ifndef QM_REMOVAL_PATHFORMS_H
#define QM_REMOVAL_PATHFORMS_H

// The forms in which the system names a path: full, long, final (links
// followed), and the comparable form the folder guards compare.

#include <windows.h>

#include <string>

#include "base/Win32Text.h"

// Calls an API that fills a buffer and returns the length it needs; the
// input itself when the call fails.
template <class Api>
std::u16string FilledOr(const std::u16string& input, Api api) {
  std::u16string buf(MAX_PATH, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = api(W(buf.data()), static_cast<DWORD>(buf.size()));
    if (n == 0) return input;
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    buf.assign(n, u'\0');
  }
  return input;
}

// path made full against the current folder; path itself when that fails.
std::u16string FullPathName(const std::u16string& path);

// The form in which folders are compared: full, long names where the folder
// exists (8.3 names expanded), one letter case.
std::u16string ComparableForm(const std::u16string& path);

// The long form of an existing full path, in plain form; empty when the
// system cannot tell it.
std::u16string LongPathName(const std::u16string& path);

// What the system resolves the file open as handle to, in plain form; empty
// when it cannot tell.
std::u16string FinalPathOf(HANDLE handle);

// The path the system resolves an existing folder to, links followed, in
// plain form; empty when it cannot be opened.
std::u16string FinalPathName(const std::u16string& full);

#endif
