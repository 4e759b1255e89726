#ifndef QM_APP_STARTUP_H
#define QM_APP_STARTUP_H

// Start-up helpers of the main window's creation handler.

#include <string>

// The system's temporary folder in its long form, ending with "\"; empty
// when either lookup fails or needs more than 260 characters.
std::u16string GetTempDir();

// Passes the lines through the file at path (UTF-8 with byte-order mark, CR LF
// after each line), reads them back and deletes the file. Throws on a file
// that cannot be written or read.
std::u16string RoundTripLines(const std::u16string& path, const std::u16string& text);

// Remembers the instance that handed over to this process: the parent, when
// its executable is named "uninstall.exe" and it started before this process
// (so a reused process id never counts). Kept open until waited for.
void RememberHandingOverInstance();

// Waits at most ms, the window kept responsive, for the remembered instance
// to end: it runs from the product folder and holds "uninstall.exe" open
// until then. True when it has ended or none was remembered.
bool WaitForHandingOverInstance(unsigned ms);

#endif
