// The three interface languages, their texts and their font family lists.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstddef>
#include <cstdint>
#include <memory>

enum Language : int32_t {
    SimplifiedChinese = 0,
    TraditionalChinese = 1,
    English = 2,
};

enum TextId : int {
    WindowTitle = 0,
    GameTitle,
    Subtitle,
    PatchFound,
    PatchNotFound,
    PlacePatchHint,
    OpenAppFolder,
    InstallLocation,
    GameDetected,
    ManualFolder,
    NoValidFolder,
    ChooseFolder,
    DetectAgain,
    PatchWillOverwrite,
    PatchAlreadyInPlace,
    ReadyToInstall,
    InstallPatch,
    Installing,
    CancelInstallation,
    InstallComplete,
    CanStartGame,
    InstallCancelled,
    InstallFailed,
    FolderPickerHint,
    ExtractZipTitle,
    ExtractZipMessage,
    NotWritableRestartAdmin,
    SelectGameFolderTitle,
    ConfirmCancelExit,
    NotEnoughSpace,
    PatchEmpty,
    CopyFailed,
    SteamAppIdLabel,
    DetectedLocations,
    NoAudioDevice,
    PatchInUse,
    CloseInstaller,
    LaunchGame,
    GameExeNotFound,
    LaunchFailed,
    PatchTooLargeForFat,
    TextCount
};

using TextTable = const wchar_t* const[TextCount];

// Names that assistive tools read for what the windows draw without a text, and the default actions;
// kept apart from the window's texts above.
enum AccessibleTextId : int {
    MusicOnName = 0,
    MusicOffName,
    PreviousLocationName,
    NextLocationName,
    ProgressName,
    PressAction,
    SelectAction,
    AccessibleTextCount
};

struct FontFamilyList {
    const wchar_t* const* names;
    size_t count;
};

// Any value other than 1 and 2 selects Simplified Chinese.
const wchar_t* text(int32_t language, TextId id);
const wchar_t* accessibleText(int32_t language, AccessibleTextId id);
const wchar_t* languageCode(int32_t language);
const wchar_t* languageLongLabel(int32_t language);
const wchar_t* languageShortLabel(int32_t language);
FontFamilyList fontFamilyList(int32_t language);

// A GDI+ font family together with the status of its creation; a failed
// creation still yields an object so that callers can test the status.
struct FontFamily {
    Gdiplus::GpFontFamily* family = nullptr;
    Gdiplus::GpStatus status = Gdiplus::GenericError;
};

struct FontFamilyDeleter {
    void operator()(FontFamily* f) const;
};
using OwnedFontFamily = std::unique_ptr<FontFamily, FontFamilyDeleter>;

OwnedFontFamily createFontFamily(int32_t language);

// A message box owned by the window, captioned with the language's window title.
int showMessage(HWND owner, int32_t language, const wchar_t* message, UINT flags);
