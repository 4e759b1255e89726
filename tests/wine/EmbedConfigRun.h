#ifndef QM_TESTS_EMBEDCONFIGRUN_H
#define QM_TESTS_EMBEDCONFIGRUN_H

// Runs embed-config (beside the tests) and keeps what it prints.

#include <windows.h>

#include <string>

#include "base/Win32Text.h"
#include "wine/WineTestSupport.h"

struct TToolRun {
  int Code = -1;    // the exit code; -1 when it did not start, -2 on time-out
  std::string Out;  // standard output, as written
  std::string Err;  // standard error, as written
};

namespace embed_config_run {

// A file that the child writes to and that goes when it is closed.
inline HANDLE CaptureFile(const std::u16string& path) {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  return CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

inline std::string ReadBack(HANDLE f) {
  std::string r;
  SetFilePointer(f, 0, nullptr, FILE_BEGIN);
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n) r.append(buf, n);
  CloseHandle(f);
  return r;
}

}  // namespace embed_config_run

// Runs embed-config with args (already quoted) from the tests' folder.
inline TToolRun RunEmbedConfig(const std::u16string& args) {
  TToolRun run;
  const std::u16string exe = TestExeDir() + u"embed-config.exe";
  HANDLE out = embed_config_run::CaptureFile(TempDir() + u"qm-embed-config.out");
  HANDLE err = embed_config_run::CaptureFile(TempDir() + u"qm-embed-config.err");
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = err;
  std::u16string cmd = u"\"" + exe + u"\" " + args;
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(W(exe), W(cmd.data()), nullptr, nullptr, TRUE, 0, nullptr, W(TestExeDir()), &si, &pi)) {
    CloseHandle(pi.hThread);
    DWORD code = 0;
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
      TerminateProcess(pi.hProcess, 99);
      run.Code = -2;
    } else {
      GetExitCodeProcess(pi.hProcess, &code);
      run.Code = static_cast<int>(code);
    }
    CloseHandle(pi.hProcess);
  }
  run.Out = embed_config_run::ReadBack(out);
  run.Err = embed_config_run::ReadBack(err);
  return run;
}

#endif
