#include "feedback/Winsock.h"

#include "base/Error.h"
#include "base/Text.h"
#include "base/Win32Text.h"

namespace {

// GetProcAddress's result as the function's own type (through the generic
// function pointer type, which the compiler accepts without a warning).
template <class F>
bool BindOne(HMODULE module, const char* name, F& fn) {
  fn = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  return fn != nullptr;
}

}  // namespace

TWinsock::TWinsock() {
  FModule = LoadLibraryExW(L"ws2_32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!FModule) throw TError(u"Cannot load the sockets library ws2_32.dll. " + SysErrorMessage(GetLastError()));
  std::u16string error;
  if (const char* missing = BindFunctions()) {
    error = u"The sockets library lacks " + Utf8ToUtf16(missing);
  } else {
    WSADATA data;
    if (const int code = WSAStartup(MAKEWORD(2, 2), &data); code != 0)
      error = u"Cannot start the sockets library. " + ErrorText(code);
  }
  if (!error.empty()) {
    FreeLibrary(FModule);
    throw TError(error);
  }
}

TWinsock::~TWinsock() {
  WSACleanup();
  FreeLibrary(FModule);
}

std::u16string TWinsock::ErrorText(int code) {
  const std::u16string text = SysErrorMessage(static_cast<DWORD>(code));
  return text.empty() ? u"Socket error " + IntToText(code) : text;
}

const char* TWinsock::BindFunctions() {
#define QM_BIND(name) \
  if (!BindOne(FModule, #name, name)) return #name;
  QM_BIND(WSAStartup)
  QM_BIND(WSACleanup)
  QM_BIND(WSAGetLastError)
  QM_BIND(getaddrinfo)
  QM_BIND(freeaddrinfo)
  QM_BIND(socket)
  QM_BIND(closesocket)
  QM_BIND(ioctlsocket)
  QM_BIND(connect)
  QM_BIND(select)
  QM_BIND(send)
  QM_BIND(recv)
  QM_BIND(getsockopt)
  QM_BIND(setsockopt)
  QM_BIND(bind)
  QM_BIND(listen)
  QM_BIND(accept)
  QM_BIND(getsockname)
  QM_BIND(shutdown)
  QM_BIND(WSAAsyncGetHostByName)
  QM_BIND(WSACancelAsyncRequest)
#undef QM_BIND
  // GetAddrInfoExW exists from Windows Vista, but waits asynchronously only
  // from Windows 8, which added the two others: it is bound only with them.
  if (BindOne(FModule, "GetAddrInfoExOverlappedResult", GetAddrInfoExOverlappedResult) &&
      BindOne(FModule, "GetAddrInfoExCancel", GetAddrInfoExCancel) &&
      BindOne(FModule, "FreeAddrInfoExW", FreeAddrInfoExW))
    BindOne(FModule, "GetAddrInfoExW", GetAddrInfoExW);
  return nullptr;
}
