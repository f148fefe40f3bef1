// UTF-8 and UTF-16 on Windows, and the system's texts for error codes: what
// the Windows files of the host and of xmlc share.
#pragma once

#include <windows.h>

#include <string>

namespace oxa::host::windows {

// UTF-16 of a UTF-8 text; a malformed sequence becomes U+FFFD.
std::wstring Wide(const std::string& utf8);

// UTF-8 of a UTF-16 text; a lone surrogate becomes U+FFFD.
std::string Narrow(const std::wstring& wide);

// The system's text for an error code, without its closing period and line break.
std::string ErrorText(DWORD code);

}  // namespace oxa::host::windows
