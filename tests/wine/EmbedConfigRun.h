#ifndef QM_TESTS_EMBEDCONFIGRUN_H
#define QM_TESTS_EMBEDCONFIGRUN_H

// Runs embed-config (beside the tests) and keeps what it prints.

#include <windows.h>

#include <string>

#include "base/Win32Text.h"
#include "wine/WineTestSupport.h"

struct TToolRun {
  int Code = -1;    // the exit code; -1 when it did not start or end
  std::string Out;  // standard output, as written
  std::string Err;  // standard error, as written
};

// Runs embed-config with args (already quoted) in the tests' folder.
inline TToolRun RunEmbedConfig(const std::u16string& args) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE files[2];
  for (int i = 0; i < 2; ++i)
    files[i] = CreateFileW(W(TempDir() + (i ? u"qm-tool.err" : u"qm-tool.out")), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = files[0];
  si.hStdError = files[1];
  const std::u16string exe = TestExeDir() + u"embed-config.exe";
  std::u16string cmd = u"\"" + exe + u"\" " + args;
  PROCESS_INFORMATION pi{};
  TToolRun run;
  if (CreateProcessW(W(exe), W(cmd.data()), nullptr, nullptr, TRUE, 0, nullptr, W(TestExeDir()), &si, &pi)) {
    DWORD code = 0;
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0)
      TerminateProcess(pi.hProcess, 99);
    else if (GetExitCodeProcess(pi.hProcess, &code))
      run.Code = static_cast<int>(code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  for (int i = 0; i < 2; ++i) {
    std::string& text = i ? run.Err : run.Out;
    SetFilePointer(files[i], 0, nullptr, FILE_BEGIN);
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(files[i], buf, sizeof buf, &n, nullptr) && n) text.append(buf, n);
    CloseHandle(files[i]);
  }
  return run;
}

#endif
