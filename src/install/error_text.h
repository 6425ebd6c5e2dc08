// The system's description of a Win32 error code, with the code in hexadecimal.
#pragma once

#include <windows.h>

#include <string>

std::wstring systemErrorText(DWORD code);
