// Text tables, language codes and font family choice.
#include "base/texts.h"

#include <iterator>

namespace gp = Gdiplus::DllExports;
using Gdiplus::Ok;

namespace {

TextTable simplifiedTexts = {
    L"【奥勒凡游戏】《塔文湖边的小屋》补丁安装程序（简体中文）",
    L"塔文湖边的小屋",
    L"游戏补丁 · 自动安装器",
    L"已找到 patch.rpa",
    L"未找到 patch.rpa",
    L"请将 patch.rpa 放在本程序旁边",
    L"打开程序文件夹",
    L"安装位置",
    L"已自动检测到游戏",
    L"手动选择的游戏目录",
    L"未检测到有效的游戏目录",
    L"选择文件夹",
    L"重新检测",
    L"目标中已有补丁，安装时将直接覆盖",
    L"补丁已位于正确目录，无需重复复制",
    L"准备就绪",
    L"开始安装",
    L"正在安装",
    L"取消安装",
    L"安装完成",
    L"现在可以启动游戏了",
    L"安装已取消",
    L"安装失败",
    L"请选择《塔文湖边的小屋》的补丁安装目录或游戏根目录，并确认游戏文件完整。",
    L"请先完整解压压缩包",
    L"检测到安装器正在系统临时目录中运行，这通常是因为直接双击了 ZIP 压缩包内的安装器。\n\n"
    L"请返回压缩包并选择“全部解压”，确认安装器与 patch.rpa 已完整解压到同一个普通文件夹后，再运行安装器。\n\n"
    L"请勿直接从压缩包窗口启动，否则安装器无法可靠读取 patch.rpa。",
    L"无法写入游戏目录。是否以管理员身份重新启动并重试？",
    L"选择《塔文湖边的小屋》的游戏文件夹",
    L"安装尚未完成。确定要取消并退出吗？",
    L"可用磁盘空间不足，无法写入补丁。",
    L"patch.rpa 是空文件，无法安装。",
    L"复制失败",
    L"Steam App ID",
    L"检测到的位置",
    L"系统没有可用的音频播放设备。",
    L"补丁正在被游戏或其他程序使用，请关闭游戏后重试。",
    L"关闭安装器",
    L"启动游戏",
    L"未找到 Tavinmere.exe，无法启动游戏。",
    L"无法启动游戏，请稍后直接运行 Tavinmere.exe。",
    L"游戏所在的驱动器使用 FAT32 文件系统，无法存放 4 GB 或更大的文件，而补丁正是这么大。请将游戏移到 NTFS 或 exFAT "
    L"格式的驱动器后重试。",
};

TextTable traditionalTexts = {
    L"【奧勒凡遊戲】『塔文湖邊的小屋』修補檔安裝程式（繁體中文）",
    L"塔文湖邊的小屋",
    L"遊戲修補檔 · 自動安裝程式",
    L"已找到 patch.rpa",
    L"找不到 patch.rpa",
    L"請將 patch.rpa 放在本程式旁邊",
    L"開啟程式資料夾",
    L"安裝位置",
    L"已自動偵測到遊戲",
    L"手動選擇的遊戲資料夾",
    L"尚未偵測到有效的遊戲資料夾",
    L"選擇資料夾",
    L"重新偵測",
    L"目標位置已有修補檔，安裝時會直接覆寫",
    L"修補檔已在正確位置，不需要重複複製",
    L"準備就緒",
    L"開始安裝",
    L"正在安裝",
    L"取消安裝",
    L"安裝完成",
    L"現在可以啟動遊戲了",
    L"已取消安裝",
    L"安裝失敗",
    L"請選擇《塔文湖邊的小屋》的修補檔安裝資料夾或遊戲根目錄，並確認遊戲檔案完整。",
    L"請先完整解壓縮",
    L"偵測到安裝程式正在系統暫存資料夾中執行，這通常是因為直接連按兩下 ZIP 壓縮檔內的 EXE。\n\n"
    L"請回到壓縮檔並選擇「解壓縮全部內容」，確認安裝程式與 patch.rpa "
    L"已完整解壓縮到同一個一般資料夾後，再執行安裝程式。\n\n"
    L"請勿直接從壓縮檔視窗啟動，否則安裝程式無法可靠讀取 patch.rpa。",
    L"無法寫入遊戲資料夾。要以系統管理員身分重新啟動並重試嗎？",
    L"選擇《塔文湖邊的小屋》的遊戲資料夾",
    L"安裝尚未完成。確定要取消並結束嗎？",
    L"可用磁碟空間不足，無法寫入修補檔。",
    L"patch.rpa 是空白檔案，無法安裝。",
    L"複製失敗",
    L"Steam App ID",
    L"偵測到的位置",
    L"系統沒有可用的音訊播放裝置。",
    L"修補檔正由遊戲或其他程式使用，請關閉遊戲後再試一次。",
    L"關閉安裝程式",
    L"啟動遊戲",
    L"找不到 Tavinmere.exe，無法啟動遊戲。",
    L"無法啟動遊戲，請稍後直接執行 Tavinmere.exe。",
    L"遊戲所在的磁碟機使用 FAT32 檔案系統，無法存放 4 GB 以上的檔案，而修補檔正是這麼大。請將遊戲移到 NTFS 或 exFAT "
    L"格式的磁碟機後再試一次。",
};

TextTable englishTexts = {
    L"[Orlevane Games] TavinMere Patch Installer (English)",
    L"TavinMere",
    L"Automatic game patch installer",
    L"patch.rpa found",
    L"patch.rpa not found",
    L"Place patch.rpa next to this application",
    L"Open app folder",
    L"Install location",
    L"Game detected automatically",
    L"Manually selected game folder",
    L"No valid game folder was detected",
    L"Choose folder",
    L"Detect again",
    L"A patch already exists there and will be overwritten",
    L"The patch is already in the correct folder",
    L"Ready to install",
    L"Install patch",
    L"Installing",
    L"Cancel installation",
    L"Installation complete",
    L"You can start the game now",
    L"Installation cancelled",
    L"Installation failed",
    L"Select the patch destination or game root for TavinMere. The folder must contain the required original game "
    L"files.",
    L"Extract the ZIP first",
    L"The installer is running from the system temporary folder. This usually means the EXE was opened directly inside "
    L"the ZIP archive.\n\n"
    L"Return to the ZIP and choose Extract All. Make sure the installer and patch.rpa are fully extracted into the "
    L"same regular folder, then run the installer again.\n\n"
    L"Do not launch it from the archive window; the installer cannot reliably access the patch.rpa there.",
    L"The game folder is not writable. Restart as administrator and try again?",
    L"Select the TavinMere game folder",
    L"Installation is still running. Cancel it and exit?",
    L"There is not enough free disk space to write the patch.",
    L"patch.rpa is empty and cannot be installed.",
    L"Copy failed",
    L"Steam App ID",
    L"Detected locations",
    L"No audio playback device is available.",
    L"The patch is in use. Close the game and any program using it, then try again.",
    L"Close installer",
    L"Launch game",
    L"Tavinmere.exe was not found, so the game cannot be launched.",
    L"The game could not be launched. Please run Tavinmere.exe directly.",
    L"The game's drive uses FAT32, which cannot hold a file of 4 GB or more, and the patch is that large. Move the "
    L"game to an NTFS or exFAT drive and try again.",
};

const wchar_t* const simplifiedFonts[] = {L"Microsoft YaHei UI", L"Microsoft YaHei", L"Microsoft JhengHei UI",
                                          L"Segoe UI", L"Arial"};
const wchar_t* const traditionalFonts[] = {L"Microsoft JhengHei UI", L"Microsoft JhengHei", L"Microsoft YaHei UI",
                                           L"Segoe UI", L"Arial"};
const wchar_t* const englishFonts[] = {L"Segoe UI", L"Microsoft YaHei UI", L"Microsoft JhengHei UI", L"Arial"};

const wchar_t* const simplifiedOpenFonts[] = {L"Noto Sans CJK SC", L"Source Han Sans SC", L"WenQuanYi Micro Hei",
                                              L"Noto Sans",        L"DejaVu Sans",        L"Liberation Sans"};
const wchar_t* const traditionalOpenFonts[] = {L"Noto Sans CJK TC", L"Source Han Sans TC", L"WenQuanYi Micro Hei",
                                               L"Noto Sans",        L"DejaVu Sans",        L"Liberation Sans"};
const wchar_t* const englishOpenFonts[] = {L"Noto Sans", L"DejaVu Sans", L"Liberation Sans"};

const wchar_t* const simplifiedAccessibleTexts[AccessibleTextCount] = {
    L"音乐：开", L"音乐：关", L"上一个位置", L"下一个位置", L"安装进度", L"按下", L"选择",
};
const wchar_t* const traditionalAccessibleTexts[AccessibleTextCount] = {
    L"音樂：開", L"音樂：關", L"上一個位置", L"下一個位置", L"安裝進度", L"按下", L"選擇",
};
const wchar_t* const englishAccessibleTexts[AccessibleTextCount] = {
    L"Music: on", L"Music: off", L"Previous location", L"Next location", L"Installation progress", L"Press", L"Select",
};

}  // namespace

const wchar_t* text(int32_t language, TextId id) {
    if (id < 0 || id >= TextCount) return L"";
    switch (language) {
    case TraditionalChinese: return traditionalTexts[id];
    case English: return englishTexts[id];
    default: return simplifiedTexts[id];
    }
}

const wchar_t* accessibleText(int32_t language, AccessibleTextId id) {
    if (id < 0 || id >= AccessibleTextCount) return L"";
    switch (language) {
    case TraditionalChinese: return traditionalAccessibleTexts[id];
    case English: return englishAccessibleTexts[id];
    default: return simplifiedAccessibleTexts[id];
    }
}

const wchar_t* languageCode(int32_t language) {
    switch (language) {
    case TraditionalChinese: return L"zh-TW";
    case English: return L"en";
    default: return L"zh-CN";
    }
}

const wchar_t* languageLongLabel(int32_t language) {
    switch (language) {
    case TraditionalChinese: return L"繁體中文";
    case English: return L"English";
    default: return L"简体中文";
    }
}

const wchar_t* languageShortLabel(int32_t language) {
    switch (language) {
    case TraditionalChinese: return L"繁中";
    case English: return L"EN";
    default: return L"简中";
    }
}

// The open families tried when no Windows family exists: CJK ones first for Chinese.
static FontFamilyList openFontFamilyList(int32_t language) {
    switch (language) {
    case TraditionalChinese: return {traditionalOpenFonts, std::size(traditionalOpenFonts)};
    case English: return {englishOpenFonts, std::size(englishOpenFonts)};
    default: return {simplifiedOpenFonts, std::size(simplifiedOpenFonts)};
    }
}

FontFamilyList fontFamilyList(int32_t language) {
    switch (language) {
    case TraditionalChinese: return {traditionalFonts, std::size(traditionalFonts)};
    case English: return {englishFonts, std::size(englishFonts)};
    default: return {simplifiedFonts, std::size(simplifiedFonts)};
    }
}

void FontFamilyDeleter::operator()(FontFamily* f) const {
    if (!f) return;
    if (f->family) gp::GdipDeleteFontFamily(f->family);
    delete f;
}

namespace {

bool tryFamily(FontFamily& result, const wchar_t* name) {
    Gdiplus::GpFontFamily* family = nullptr;
    const Gdiplus::GpStatus status = gp::GdipCreateFontFamilyFromName(name, nullptr, &family);
    if (status == Ok) {
        result.family = family;
        result.status = Ok;
        return true;
    }
    if (family) gp::GdipDeleteFontFamily(family);
    return false;
}

}  // namespace

OwnedFontFamily createFontFamily(int32_t language) {
    OwnedFontFamily result(new FontFamily);
    const FontFamilyList list = fontFamilyList(language);
    for (size_t i = 0; i < list.count; ++i) {
        if (tryFamily(*result, list.names[i])) return result;
    }
    // The final "Arial" attempt decides the status the family carries.
    Gdiplus::GpFontFamily* family = nullptr;
    result->status = gp::GdipCreateFontFamilyFromName(L"Arial", nullptr, &family);
    result->family = family;
    if (result->status == Ok) return result;

    // A Windows program on Linux may find none of the Windows families, nor GDI+'s generic sans-serif:
    // it would draw no text at all. Widely installed open families then stand in.
    if (family) gp::GdipDeleteFontFamily(family);
    result->family = nullptr;
    const FontFamilyList open = openFontFamilyList(language);
    for (size_t i = 0; i < open.count; ++i) {
        if (tryFamily(*result, open.names[i])) return result;
    }
    return result;
}

int showMessage(HWND owner, int32_t language, const wchar_t* message, UINT flags) {
    return MessageBoxW(owner, message, text(language, WindowTitle), flags);
}
