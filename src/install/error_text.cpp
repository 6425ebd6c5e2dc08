// System error text for failed copies.
#include "install/error_text.h"

#include <cwchar>

#include "locate/paths.h"

std::wstring systemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD count =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring message;
    if (count != 0 && buffer) {
        message = trimSpaces(std::wstring(buffer, count));
    } else {
        message = L"Unknown error";
    }
    if (buffer) LocalFree(buffer);
    wchar_t suffix[32];
    swprintf(suffix, std::size(suffix), L" (0x%08lX)", static_cast<unsigned long>(code));
    return message + suffix;
}
