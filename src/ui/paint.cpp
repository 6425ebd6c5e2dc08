// The main window's frame: background, panel, patch and location cards, status, progress, buttons,
// footer, language switch and music button, drawn off-screen and copied in one BitBlt.
#include "ui/paint.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include <oleacc.h>

#include "audio/music.h"
#include "base/win32.h"
#include "install/installer_app.h"
#include "ui/layout.h"

namespace gp = Gdiplus::DllExports;
using Gdiplus::GpStatus;
using Gdiplus::Ok;

namespace {

constexpr float PanelRadius = 22.0f;
constexpr float CardRadius = 14.0f;
constexpr float MainButtonRadius = 15.0f;
constexpr float MusicRadius = 11.0f;
constexpr const wchar_t* SteamAppId = L"2719305";

// A control looks hot only while the mouse is on it and it answers the mouse: a button that an
// install has made inert keeps no hot look from before.
bool isHot(const InstallerApp& app, ControlId id) { return app.hoverControl == id && isControlLive(app, id); }

RectF offset(const RectF& r, float dx, float dy, float dw, float dh) {
    return {r.X + dx, r.Y + dy, r.Width + dw, r.Height + dh};
}

// Where the texts lie, for the frame and for what assistive tools are told of it.
RectF subtitleBox(const RectF& P) { return {P.X + 22, P.Y + 19, P.Width - 44, 25}; }
RectF gameTitleBox(const RectF& P) { return {P.X + 20, P.Y + 45, P.Width - 42, 54}; }
RectF footerBox(const RectF& P) { return {P.X + 22, P.Y + P.Height - 47, P.Width - 44, 22}; }
RectF headlineBox(const RectF& Q) { return {Q.X + 34, Q.Y + 9, Q.Width - 48, 28}; }
RectF detailBox(const RectF& Q) { return {Q.X + 34, Q.Y + 37, Q.Width - 48, 25}; }
RectF originBox(const RectF& K) { return {K.X + 16, K.Y + 8, K.Width - 116, 26}; }
RectF pathBox(const RectF& K) { return {K.X + 16, K.Y + 39, K.Width - 32, 39}; }
RectF counterBox(const RectF& K) { return {K.X + 16, K.Y + K.Height - 23, K.Width - 130, 18}; }

std::wstring footerText(const InstallerApp& app) {
    return std::wstring(text(app.language, SteamAppIdLabel)) + L"  " + SteamAppId;
}
std::wstring patchDetailText(const InstallerApp& app) {
    return app.patchFound ? patchSizeText(app.patchSize) : text(app.language, PlacePatchHint);
}
TextId originTextOf(const InstallerApp& app) {
    const GameCandidate* selected = selectedGameCandidate(app);
    return !selected ? NoValidFolder : selected->manual ? ManualFolder : GameDetected;
}
std::wstring counterTextOf(const InstallerApp& app) {
    return candidateCounterText(app.language, app.selectedCandidate, app.candidates.size());
}
TextId mainCaptionOf(const InstallerApp& app) {
    return app.uiState == StateCompleted    ? LaunchGame
           : app.uiState == StateInstalling ? CancelInstallation
                                            : InstallPatch;
}
bool canActOf(const InstallerApp& app) { return isControlLive(app, ActionButton); }
bool progressShown(const InstallerApp& app) { return app.uiState == StateInstalling || app.uiState == StateCompleted; }
int32_t shownPermille(const InstallerApp& app) {
    return app.uiState == StateCompleted ? FullPermille : app.progressPermille;
}
// The speaker shows its waves only when the music can be heard.
bool musicAudible(const InstallerApp& app) {
    return app.musicPlayer && app.musicPlayer->waveDevice && !app.musicPlayer->musicMuted;
}

// One text of the frame: the font family and the bold offset rule come from the app.
struct TextPainter {
    const InstallerApp& app;
    DrawContext& dc;

    void operator()(const std::wstring& s, float size, bool bold, uint32_t colour, const RectF& box,
                    int alignment = AlignNear, int trimming = TrimCharacter) const {
        drawText(dc, app.fontFamily.get(), s.c_str(), static_cast<int>(s.size()), size, bold ? StyleBold : StyleRegular,
                 colour, box, alignment, trimming, boldOffsetFor(app.language, bold));
    }
    void operator()(TextId id, float size, bool bold, uint32_t colour, const RectF& box, int alignment = AlignNear,
                    int trimming = TrimCharacter) const {
        (*this)(std::wstring(text(app.language, id)), size, bold, colour, box, alignment, trimming);
    }
};

void fillSolid(DrawContext& dc, uint32_t colour, const RectF& r, bool ellipse) {
    Brush brush = makeSolidBrush(colour);
    dc.record(brush.status);
    dc.record(ellipse ? gp::GdipFillEllipse(dc.graphics, brush.get(), r.X, r.Y, r.Width, r.Height)
                      : gp::GdipFillRectangle(dc.graphics, brush.get(), r.X, r.Y, r.Width, r.Height));
}

OwnedPen makePen(DrawContext& dc, uint32_t colour, float width) {
    Gdiplus::GpPen* raw = nullptr;
    const GpStatus status = gp::GdipCreatePen1(colour, width, Gdiplus::UnitWorld, &raw);
    dc.record(status);
    return OwnedPen(status == Ok ? raw : nullptr);
}

void drawBackground(Gdiplus::GpImage* picture, const Palette& c, DrawContext& dc, float W, float H) {
    UINT iw = 0, ih = 0;
    if (picture && c.picture) {
        dc.record(gp::GdipGetImageWidth(picture, &iw));
        dc.record(gp::GdipGetImageHeight(picture, &ih));
    }
    if (iw > 0 && ih > 0) {
        // Cover: keep the aspect ratio, fill the whole client and crop the overflow evenly on both sides.
        const float k = std::max(W / static_cast<float>(iw), H / static_cast<float>(ih));
        const float dw = static_cast<float>(iw) * k;
        const float dh = static_cast<float>(ih) * k;
        dc.record(gp::GdipDrawImageRect(dc.graphics, picture, (W - dw) * 0.5f, (H - dh) * 0.5f, dw, dh));
        return;
    }
    Brush gradient = makeGradientBrush({0, 0}, {W, H}, c.washStart, c.washEnd);
    dc.record(gradient.status);
    dc.record(gp::GdipFillRectangle(dc.graphics, gradient.get(), 0, 0, W, H));
}

void drawPanelAndHeader(const InstallerApp& app, const Palette& c, DrawContext& dc, const TextPainter& say,
                        const RectF& P) {
    fillRoundedRect(dc, offset(P, 5, 8, 0, 0), PanelRadius, c.panelShadow);
    fillRoundedRect(dc, P, PanelRadius, c.panel);
    strokeRoundedRect(dc, P, PanelRadius, c.panelOutline);
    say(Subtitle, 14, false, c.subtitle, subtitleBox(P));
    say(GameTitle, app.language == English ? 25.0f : 37.0f, true, c.title, gameTitleBox(P));
    fillSolid(dc, c.accent, {P.X + 22, P.Y + 106, 62, 3}, false);
}

void drawPatchCard(const InstallerApp& app, const Palette& c, DrawContext& dc, const TextPainter& say,
                   const MainLayout& L) {
    const RectF& Q = L.patchCard;
    fillRoundedRect(dc, Q, CardRadius, c.card);
    strokeRoundedRect(dc, Q, CardRadius, c.cardOutline);
    fillSolid(dc, app.patchFound ? c.patchFound : c.patchMissing, {Q.X + 16, Q.Y + 19, 10, 10}, true);
    say(app.patchFound ? PatchFound : PatchNotFound, 15, true, c.headline, headlineBox(Q));
    say(patchDetailText(app), 12, false, c.detail, detailBox(Q));
    if (!app.patchFound) {
        drawPillButton(app, c, dc, L.control(OpenAppFolderButton), text(app.language, OpenAppFolder),
                       isHot(app, OpenAppFolderButton), true);
    }
}

void drawLocationSection(const InstallerApp& app, const Palette& c, DrawContext& dc, const TextPainter& say,
                         const MainLayout& L) {
    const RectF& K = L.locationCard;
    say(InstallLocation, 13, false, c.label, L.locationLabel);
    fillRoundedRect(dc, K, CardRadius, c.card);
    strokeRoundedRect(dc, K, CardRadius, c.cardOutline);
    const GameCandidate* selected = selectedGameCandidate(app);
    say(originTextOf(app), 12, true, selected ? c.good : c.noFolder, originBox(K));
    if (selected) {
        say(selected->path, 12, false, c.path, pathBox(K), AlignNear, TrimPath);
        if (app.candidates.size() >= 2) {
            say(counterTextOf(app), 10, false, c.counter, counterBox(K));
            drawArrowButton(dc, c, L.control(PrevLocationButton), false, isHot(app, PrevLocationButton),
                            isControlLive(app, PrevLocationButton));
            drawArrowButton(dc, c, L.control(NextLocationButton), true, isHot(app, NextLocationButton),
                            isControlLive(app, NextLocationButton));
        }
    }
    // Drawn during an install too, when they cannot be hit.
    drawPillButton(app, c, dc, L.control(ChooseFolderButton), text(app.language, ChooseFolder),
                   isHot(app, ChooseFolderButton), true, isControlLive(app, ChooseFolderButton));
    drawPillButton(app, c, dc, L.control(DetectAgainButton), text(app.language, DetectAgain),
                   isHot(app, DetectAgainButton), false, isControlLive(app, DetectAgainButton));
}

struct StatusLine {
    std::wstring text;
    uint32_t Palette::*colour;
};

StatusLine statusLineOf(const InstallerApp& app) {
    if (app.uiState == StateCompleted)
        return {std::wstring(text(app.language, InstallComplete)) + L" \u00B7 " + text(app.language, CanStartGame),
                &Palette::success};
    if (app.uiState == StateCancelled) return {text(app.language, InstallCancelled), &Palette::warning};
    if (app.uiState == StateFailed) return {app.statusText, &Palette::failure};
    if (app.targetIsSource) return {text(app.language, PatchAlreadyInPlace), &Palette::success};
    if (app.targetExists) return {text(app.language, PatchWillOverwrite), &Palette::warning};
    if (app.patchFound && hasValidSelection(app)) return {text(app.language, ReadyToInstall), &Palette::good};
    return {std::wstring(), &Palette::good};
}

// The status line tells how the last install ended in these states; readers are told it as an alert.
bool statusIsOutcome(const InstallerApp& app) {
    return app.uiState == StateCompleted || app.uiState == StateCancelled || app.uiState == StateFailed;
}

void drawStatusLine(const InstallerApp& app, const Palette& c, const TextPainter& say, const MainLayout& L) {
    const StatusLine line = statusLineOf(app);
    say(line.text, 12, false, c.*line.colour, L.statusLine);
}

void drawProgressAndButtons(const InstallerApp& app, const Palette& c, DrawContext& dc, const TextPainter& say,
                            const MainLayout& L) {
    const bool installing = app.uiState == StateInstalling;
    const bool completed = app.uiState == StateCompleted;
    const bool canAct = canActOf(app);
    if (progressShown(app)) {
        const RectF& T = L.progressTrack;
        fillRoundedRect(dc, T, 4, c.track);
        strokeRoundedRect(dc, T, 4, c.trackOutline);
        const float fw = static_cast<float>(shownPermille(app)) / FullPermille * T.Width;
        if (fw > 0) fillRoundedRect(dc, {T.X, T.Y, fw, T.Height}, 4, c.progress);
    }

    const RectF& B = L.control(ActionButton);
    const bool hot = isHot(app, ActionButton);
    uint32_t fill = c.mainFillInert;
    if (canAct && installing)
        fill = hot ? c.cancelFillHot : c.cancelFill;
    else if (canAct)
        fill = hot ? c.mainFillHot : c.mainFill;
    fillRoundedRect(dc, offset(B, 2, 5, 0, 0), MainButtonRadius, c.mainShadow);
    fillRoundedRect(dc, B, MainButtonRadius, fill);
    if (!canAct) strokeRoundedRect(dc, B, MainButtonRadius, c.inert);
    if (hot) drawHotOutline(dc, c, B, MainButtonRadius);
    say(mainCaptionOf(app), 16, true, canAct ? c.mainText : c.mainTextInert, B, AlignCentre);

    if (completed)
        drawPillButton(app, c, dc, L.control(CloseButton), text(app.language, CloseInstaller), isHot(app, CloseButton),
                       false);
}

void drawSpeaker(const InstallerApp& app, const Palette& c, DrawContext& dc, const RectF& M) {
    const MusicPlayer* player = app.musicPlayer;
    const bool deviceOpen = player && player->waveDevice;
    const uint32_t colour = deviceOpen ? c.music.text : c.speakerOff;
    const float ax = M.X + 7;
    const float ay = M.Y + M.Height * 0.5f;

    const Gdiplus::PointF body[6] = {{ax, ay - 3},      {ax + 5, ay - 3}, {ax + 11, ay - 9},
                                     {ax + 11, ay + 9}, {ax + 5, ay + 3}, {ax, ay + 3}};
    Brush brush = makeSolidBrush(colour);
    dc.record(brush.status);
    dc.record(gp::GdipFillPolygon(dc.graphics, brush.get(), body, 6, Gdiplus::FillModeAlternate));

    if (musicAudible(app)) {
        OwnedPen wave = makePen(dc, colour, 1.8f);
        dc.record(gp::GdipDrawArc(dc.graphics, wave.get(), ax + 8, ay - 7, 10, 14, -45, 90));
        dc.record(gp::GdipDrawArc(dc.graphics, wave.get(), ax + 7, ay - 11, 18, 22, -48, 96));
    } else {
        OwnedPen cross = makePen(dc, c.cross, 2.0f);
        dc.record(gp::GdipDrawLine(dc.graphics, cross.get(), ax + 17, ay - 5, ax + 25, ay + 5));
        dc.record(gp::GdipDrawLine(dc.graphics, cross.get(), ax + 25, ay - 5, ax + 17, ay + 5));
    }
}

void drawLanguageSwitch(const InstallerApp& app, const Palette& c, DrawContext& dc, const MainLayout& L) {
    const RectF& A = L.control(ChipSimplified);
    const RectF& E = L.control(ChipEnglish);
    const RectF back{A.X - 7, A.Y - 5, E.X + E.Width - A.X + 14, A.Height + 10};
    fillRoundedRect(dc, back, 13, c.switchFill);
    strokeRoundedRect(dc, back, 13, c.switchOutline);
    drawLanguageChip(app, c, dc, A, L"简中", SimplifiedChinese, ChipSimplified);
    drawLanguageChip(app, c, dc, L.control(ChipTraditional), L"繁中", TraditionalChinese, ChipTraditional);
    drawLanguageChip(app, c, dc, E, L"EN", English, ChipEnglish);

    const RectF& M = L.control(MusicToggle);
    const bool hot = isHot(app, MusicToggle);
    fillRoundedRect(dc, M, MusicRadius, hot ? c.music.fillHot : c.music.fill);
    strokeRoundedRect(dc, M, MusicRadius, c.music.outline);
    if (hot) drawHotOutline(dc, c, M, MusicRadius);
    drawSpeaker(app, c, dc, M);
}

// The rounding of each control's face, for the ring drawn along it.
float cornerRadiusOf(ControlId id) {
    switch (id) {
    case ChipSimplified:
    case ChipTraditional:
    case ChipEnglish: return 10.0f;
    case MusicToggle: return MusicRadius;
    case PrevLocationButton:
    case NextLocationButton: return 8.0f;
    case ActionButton: return MainButtonRadius;
    default: return 10.0f;
    }
}

}  // namespace

std::wstring patchSizeText(uint64_t size) {
    wchar_t buffer[64];
    if (size < 1024) {
        swprintf(buffer, std::size(buffer), L"%llu %ls", static_cast<unsigned long long>(size), L"B");
        return buffer;
    }
    static const wchar_t* const units[] = {L"KB", L"MB", L"GB", L"TB"};
    double d = static_cast<double>(size);
    size_t unit = 0;
    d /= 1024.0;
    while (d >= 1024.0 && unit + 1 < std::size(units)) {
        d /= 1024.0;
        ++unit;
    }
    swprintf(buffer, std::size(buffer), L"%.2f %ls", d, units[unit]);
    return buffer;
}

void drawMainFrame(const InstallerApp& app, DrawContext& dc, int w, int h, UINT dpi, Gdiplus::GpImage* picture,
                   const FrameLook& look) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    dc.record(gp::GdipSetSmoothingMode(dc.graphics, Gdiplus::SmoothingModeAntiAlias));
    dc.record(gp::GdipSetInterpolationMode(dc.graphics, Gdiplus::InterpolationModeHighQualityBicubic));
    dc.record(gp::GdipSetTextRenderingHint(dc.graphics, Gdiplus::TextRenderingHintClearTypeGridFit));
    const float s = contentScale(w, h, dpi);
    dc.record(gp::GdipScaleWorldTransform(dc.graphics, s, s, Gdiplus::MatrixOrderPrepend));
    const float W = static_cast<float>(w) / s;
    const float H = static_cast<float>(h) / s;
    const MainLayout L = computeLayout(app.uiState, W, H);

    const TextPainter say{app, dc};
    const Palette& c = look.palette;

    drawBackground(picture, c, dc, W, H);
    drawPanelAndHeader(app, c, dc, say, L.panel);
    drawPatchCard(app, c, dc, say, L);
    drawLocationSection(app, c, dc, say, L);
    drawStatusLine(app, c, say, L);
    drawProgressAndButtons(app, c, dc, say, L);
    say(footerText(app), 10, false, c.footer, footerBox(L.panel));
    drawLanguageSwitch(app, c, dc, L);
    const auto ring = static_cast<ControlId>(look.focusRing);
    if (ring != None) drawFocusRing(dc, c, L.control(ring), cornerRadiusOf(ring));
}

OwnedImage coverScaledCopy(Gdiplus::GpImage* picture, int w, int h) {
    UINT iw = 0, ih = 0;
    if (!picture || gp::GdipGetImageWidth(picture, &iw) != Ok || gp::GdipGetImageHeight(picture, &ih) != Ok ||
        iw == 0 || ih == 0)
        return {};
    Gdiplus::GpBitmap* raw = nullptr;
    if (gp::GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppPARGB, nullptr, &raw) != Ok) return {};
    OwnedImage copy(raw);
    Gdiplus::GpGraphics* rawGraphics = nullptr;
    if (gp::GdipGetImageGraphicsContext(copy.get(), &rawGraphics) != Ok) return {};
    OwnedGraphics graphics(rawGraphics);
    gp::GdipSetInterpolationMode(graphics.get(), Gdiplus::InterpolationModeHighQualityBicubic);
    const float k =
        std::max(static_cast<float>(w) / static_cast<float>(iw), static_cast<float>(h) / static_cast<float>(ih));
    const float dw = static_cast<float>(iw) * k;
    const float dh = static_cast<float>(ih) * k;
    if (gp::GdipDrawImageRect(graphics.get(), picture, (w - dw) * 0.5f, (h - dh) * 0.5f, dw, dh) != Ok) return {};
    return copy;
}

namespace {

// Keeps the scaled copy in step with the client size; without one the frame scales the picture itself.
Gdiplus::GpImage* backgroundFor(InstallerApp& app, int w, int h) {
    if (!app.backgroundImage) return nullptr;
    if (!app.scaledBackground || app.scaledBackgroundWidth != w || app.scaledBackgroundHeight != h) {
        app.scaledBackground = coverScaledCopy(app.backgroundImage.get(), w, h);
        app.scaledBackgroundWidth = w;
        app.scaledBackgroundHeight = h;
    }
    // The copy covers the client exactly, so the frame's cover rule draws it 1:1.
    return app.scaledBackground ? app.scaledBackground.get() : app.backgroundImage.get();
}

}  // namespace

void paintMainWindow(InstallerApp& app, const FrameLook& look) {
    paintBuffered(app.mainWindow, [&](DrawContext& dc, int w, int h) {
        drawMainFrame(app, dc, w, h, windowDpi(app.mainWindow),
                      look.palette.picture ? backgroundFor(app, w, h) : nullptr, look);
    });
}

namespace {

RECT devicePixels(const RectF& r, float scale) {
    return {static_cast<LONG>(r.X * scale), static_cast<LONG>(r.Y * scale), static_cast<LONG>((r.X + r.Width) * scale),
            static_cast<LONG>((r.Y + r.Height) * scale)};
}

// The keys that act on a control wherever the keyboard focus is (the main window's key handling).
const wchar_t* keyboardShortcutOf(const InstallerApp& app, ControlId id) {
    switch (id) {
    case MusicToggle: return L"M";
    case ChooseFolderButton: return L"Ctrl+B";
    case DetectAgainButton: return L"F5";
    case ActionButton: return app.uiState == StateInstalling ? L"Esc" : L"Enter";
    case CloseButton: return L"Esc";
    default: return L"";
    }
}

struct ItemList {
    const InstallerApp& app;
    float scale;
    ControlId focus;
    std::vector<AccessibleItem> items;

    void addText(int key, const std::wstring& name, const RectF& box, long role = ROLE_SYSTEM_STATICTEXT) {
        if (!name.empty())
            items.push_back({key, role, STATE_SYSTEM_READONLY, name, {}, {}, devicePixels(box, scale), {}});
    }
    void addControl(ControlId id, long role, const std::wstring& name, const RectF& box, long state = 0) {
        state |= isControlLive(app, id) ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_UNAVAILABLE;
        if (id == focus) state |= STATE_SYSTEM_FOCUSED;
        if (isHot(app, id)) state |= STATE_SYSTEM_HOTTRACKED;
        const AccessibleTextId action = role == ROLE_SYSTEM_CHECKBUTTON ? SelectAction : PressAction;
        items.push_back({id,
                         role,
                         state,
                         name,
                         {},
                         accessibleText(app.language, action),
                         devicePixels(box, scale),
                         keyboardShortcutOf(app, id)});
    }
    void addButton(ControlId id, const std::wstring& name, const MainLayout& L) {
        addControl(id, ROLE_SYSTEM_PUSHBUTTON, name, L.control(id));
    }
};

}  // namespace

std::vector<AccessibleItem> mainWindowItems(const InstallerApp& app, float W, float H, float scale, int32_t focus) {
    const MainLayout L = computeLayout(app.uiState, W, H);
    ItemList list{app, scale, static_cast<ControlId>(focus), {}};
    const ControlId chips[] = {ChipSimplified, ChipTraditional, ChipEnglish};
    for (int32_t language = SimplifiedChinese; language <= English; ++language) {
        list.addControl(chips[language], ROLE_SYSTEM_CHECKBUTTON, languageShortLabel(language),
                        L.control(chips[language]), language == app.language ? STATE_SYSTEM_CHECKED : 0);
    }
    list.addButton(MusicToggle, accessibleText(app.language, musicAudible(app) ? MusicOnName : MusicOffName), L);
    list.addText(SubtitleText, text(app.language, Subtitle), subtitleBox(L.panel));
    list.addText(GameTitleText, text(app.language, GameTitle), gameTitleBox(L.panel));
    list.addText(PatchHeadlineText, text(app.language, app.patchFound ? PatchFound : PatchNotFound),
                 headlineBox(L.patchCard));
    list.addText(PatchDetailText, patchDetailText(app), detailBox(L.patchCard));
    // Drawn at the right of the patch card, so read with it.
    if (!app.patchFound) list.addButton(OpenAppFolderButton, text(app.language, OpenAppFolder), L);
    list.addText(LocationLabelText, text(app.language, InstallLocation), L.locationLabel);
    list.addText(LocationOriginText, text(app.language, originTextOf(app)), originBox(L.locationCard));
    const GameCandidate* selected = selectedGameCandidate(app);
    // The arrows sit on the origin line's row, at the card's top right.
    if (selected && app.candidates.size() >= 2) {
        list.addButton(PrevLocationButton, accessibleText(app.language, PreviousLocationName), L);
        list.addButton(NextLocationButton, accessibleText(app.language, NextLocationName), L);
    }
    if (selected) {
        list.addText(LocationPathText, selected->path, pathBox(L.locationCard));
        if (app.candidates.size() >= 2)
            list.addText(LocationCounterText, counterTextOf(app), counterBox(L.locationCard));
    }
    list.addButton(ChooseFolderButton, text(app.language, ChooseFolder), L);
    list.addButton(DetectAgainButton, text(app.language, DetectAgain), L);
    list.addText(StatusLineText, statusLineOf(app).text, L.statusLine,
                 statusIsOutcome(app) ? ROLE_SYSTEM_ALERT : ROLE_SYSTEM_STATICTEXT);
    if (progressShown(app)) {
        wchar_t percent[16];
        swprintf(percent, std::size(percent), L"%d%%", shownPermille(app) / 10);
        list.items.push_back({ProgressTrack,
                              ROLE_SYSTEM_PROGRESSBAR,
                              STATE_SYSTEM_READONLY,
                              accessibleText(app.language, ProgressName),
                              percent,
                              {},
                              devicePixels(L.progressTrack, scale),
                              {}});
    }
    list.addButton(ActionButton, text(app.language, mainCaptionOf(app)), L);
    if (app.uiState == StateCompleted) list.addButton(CloseButton, text(app.language, CloseInstaller), L);
    list.addText(FooterText, footerText(app), footerBox(L.panel));
    return std::move(list.items);
}
