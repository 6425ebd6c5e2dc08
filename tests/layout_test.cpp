// Layout of the main window: the scale rule, the rectangles at the reference sizes, hit-testing and
// the size limits.
#include <gtest/gtest.h>

#include "install/installer_app.h"
#include "test_support.h"
#include "ui/layout.h"

namespace {

void expectRect(const RectF& r, float x, float y, float w, float h) {
    EXPECT_NEAR(r.X, x, 0.01f);
    EXPECT_NEAR(r.Y, y, 0.01f);
    EXPECT_NEAR(r.Width, w, 0.01f);
    EXPECT_NEAR(r.Height, h, 0.01f);
}

RectF centreOf(const RectF& r) { return {r.X + r.Width / 2, r.Y + r.Height / 2, 0, 0}; }

void addLocations(InstallerApp& app, int n) {
    for (int i = 0; i < n; ++i) app.candidates.push_back({L"C:\\Games\\T" + std::to_wstring(i), false, 100, 0});
}

}  // namespace

TEST(Scale, GrowsWithTheWindowUpToTheDpiAndNeverBelowTheFloor) {
    EXPECT_FLOAT_EQ(contentScale(920, 620, 96), 1.0f);
    EXPECT_FLOAT_EQ(contentScale(1160, 700, 96), 1.0f);  // limited by the DPI
    EXPECT_FLOAT_EQ(contentScale(1840, 1240, 192), 2.0f);
    EXPECT_FLOAT_EQ(contentScale(500, 400, 96), 0.65f);
    EXPECT_NEAR(500 / contentScale(500, 400, 96), 769.2f, 0.1f);
    EXPECT_NEAR(400 / contentScale(500, 400, 96), 615.4f, 0.1f);
    EXPECT_FLOAT_EQ(contentScale(1380, 2000, 144), 1.5f);
    // A minimised window: the missing dimension falls back to the DPI factor.
    EXPECT_FLOAT_EQ(contentScale(0, 0, 144), 1.5f);
    EXPECT_FLOAT_EQ(contentScale(0, 310, 96), 0.65f);
    EXPECT_FLOAT_EQ(contentScale(460, 0, 192), 0.65f);
}

TEST(Scale, WindowDpiOfARealWindowAndOfTheScreen) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    HDC screen = GetDC(nullptr);
    const UINT screenDpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(windowDpi(nullptr), screenDpi);
    EXPECT_EQ(windowDpi(window), screenDpi);
    DestroyWindow(window);
}

TEST(Layout, DesignSize) {
    const MainLayout L = computeLayout(StateReady, 920, 620);
    expectRect(L.panel, 376.8f, 28, 515.2f, 564);
    expectRect(L.control(ActionButton), 398.8f, 475, 471.2f, 52);
    expectRect(L.control(CloseButton), 0, 0, 0, 0);
    expectRect(L.control(ChipSimplified), 28, 26, 58, 36);
    expectRect(L.control(ChipTraditional), 88, 26, 58, 36);
    expectRect(L.control(ChipEnglish), 148, 26, 54, 36);
    expectRect(L.control(MusicToggle), 214, 24, 42, 40);
    expectRect(L.control(ChooseFolderButton), 398.8f, 361, 154, 40);
    expectRect(L.control(DetectAgainButton), 562.8f, 361, 142, 40);
    // Arrows: 13 below the location card's top, the right one 12 before its right edge, 8 apart.
    expectRect(L.locationCard, 398.8f, 257, 471.2f, 92);
    expectRect(L.control(NextLocationButton), 828, 270, 30, 30);
    expectRect(L.control(PrevLocationButton), 790, 270, 30, 30);
    // Centred vertically in the patch card, 17 from its right edge.
    expectRect(L.patchCard, 398.8f, 147, 471.2f, 72);
    expectRect(L.control(OpenAppFolderButton), 708, 166, 145, 34);
    expectRect(L.locationLabel, 398.8f, 233, 260, 20);
    expectRect(L.statusLine, 398.8f, 410, 471.2f, 32);
    expectRect(L.progressTrack, 398.8f, 459, 471.2f, 8);
}

TEST(Layout, ExtraHeightMovesTheMiddleRowsAt1160x700) {
    const MainLayout L = computeLayout(StateReady, 1160, 700);
    expectRect(L.panel, 592, 55, 540, 590);
    EXPECT_NEAR(L.locationCard.Y, 287.9f, 0.01f);
    EXPECT_NEAR(L.locationLabel.Y, 263.9f, 0.01f);
    EXPECT_NEAR(L.control(ChooseFolderButton).Y, 397.1f, 0.01f);
    EXPECT_NEAR(L.control(NextLocationButton).Y, 300.9f, 0.01f);
    expectRect(L.statusLine, 614, 452.6f, 496, 32);
    expectRect(L.progressTrack, 614, 512, 496, 8);
    EXPECT_NEAR(L.control(ActionButton).Y, 528, 0.01f);
}

TEST(Layout, DoubleDpiLaysOutLikeTheDesignSize) {
    const float s = contentScale(1840, 1240, 192);
    const MainLayout a = computeLayout(StateReady, 1840 / s, 1240 / s);
    const MainLayout b = computeLayout(StateReady, 920, 620);
    for (int id = 1; id <= 11; ++id) {
        const RectF& r = b.control(static_cast<ControlId>(id));
        expectRect(a.control(static_cast<ControlId>(id)), r.X, r.Y, r.Width, r.Height);
    }
    expectRect(a.statusLine, b.statusLine.X, b.statusLine.Y, b.statusLine.Width, b.statusLine.Height);
}

TEST(Layout, SmallWindowKeepsTheBottomRowsAnchoredAndClampsTheStatusLine) {
    const float s = contentScale(500, 400, 96);
    const MainLayout L = computeLayout(StateReady, 500 / s, 400 / s);
    EXPECT_NEAR(L.panel.Width, 0.56f * 500 / s, 0.01f);
    EXPECT_NEAR(L.panel.Height, 400 / s - 56, 0.01f);
    EXPECT_NEAR(L.panel.X + L.panel.Width, 500 / s - 28, 0.01f);
    EXPECT_NEAR(L.control(ActionButton).Y, L.panel.Y + L.panel.Height - 117, 0.01f);
    EXPECT_GE(L.statusLine.Height, 20.0f);
    EXPECT_LE(L.statusLine.Height, 32.0f);
    // A very short window squeezes the status line to its floor of 20.
    EXPECT_FLOAT_EQ(computeLayout(StateReady, 920, 500).statusLine.Height, 20.0f);
}

TEST(Layout, CompletedSplitsTheBottomRow) {
    const MainLayout L = computeLayout(StateCompleted, 920, 620);
    expectRect(L.control(ActionButton), 398.8f, 475, 276.72f, 52);
    expectRect(L.control(CloseButton), 398.8f + 276.72f + 10, 475, 184.48f, 52);
    for (int32_t state : {StateReady, StateInstalling, StateCancelled, StateFailed})
        expectRect(computeLayout(state, 920, 620).control(CloseButton), 0, 0, 0, 0);
}

TEST(HitTest, EdgesAreInside) {
    InstallerApp app;
    app.patchFound = true;
    addLocations(app, 2);
    const MainLayout L = computeLayout(StateReady, 920, 620);
    const RectF& b = L.control(DetectAgainButton);
    EXPECT_EQ(hitTest(app, 920, 620, b.X, b.Y), DetectAgainButton);
    EXPECT_EQ(hitTest(app, 920, 620, b.X + b.Width, b.Y + b.Height), DetectAgainButton);
    EXPECT_EQ(hitTest(app, 920, 620, b.X + b.Width + 0.01f, b.Y + b.Height), None);
    const RectF& chip = L.control(ChipEnglish);
    EXPECT_EQ(hitTest(app, 920, 620, chip.X + chip.Width, chip.Y + chip.Height), ChipEnglish);
    EXPECT_EQ(hitTest(app, 920, 620, 5, 5), None);
}

TEST(HitTest, EveryControlAtItsCentreWhenItCanAct) {
    InstallerApp app;
    app.patchFound = true;
    addLocations(app, 3);
    const MainLayout L = computeLayout(StateReady, 1160, 700);
    for (ControlId id : {ChipSimplified, ChipTraditional, ChipEnglish, MusicToggle, ChooseFolderButton,
                         DetectAgainButton, PrevLocationButton, NextLocationButton, ActionButton}) {
        const RectF c = centreOf(L.control(id));
        EXPECT_EQ(hitTest(app, 1160, 700, c.X, c.Y), id);
    }
}

TEST(HitTest, ConditionsPerState) {
    InstallerApp app;
    app.patchFound = true;
    addLocations(app, 3);
    auto at = [&](ControlId id) {
        const RectF c = centreOf(computeLayout(app.uiState, 920, 620).control(id));
        return hitTest(app, 920, 620, c.X, c.Y);
    };
    app.uiState = StateInstalling;
    EXPECT_EQ(at(ChooseFolderButton), None);
    EXPECT_EQ(at(DetectAgainButton), None);
    EXPECT_EQ(at(PrevLocationButton), None);
    EXPECT_EQ(at(NextLocationButton), None);
    EXPECT_EQ(at(ActionButton), ActionButton);
    EXPECT_EQ(at(ChipTraditional), ChipTraditional);
    EXPECT_EQ(at(MusicToggle), MusicToggle);
    // Where the close button would be in StateCompleted, the full-width main button answers instead.
    const RectF closeSpot = centreOf(computeLayout(StateCompleted, 920, 620).control(CloseButton));
    EXPECT_EQ(hitTest(app, 920, 620, closeSpot.X, closeSpot.Y), ActionButton);

    app.uiState = StateCompleted;
    EXPECT_EQ(hitTest(app, 920, 620, closeSpot.X, closeSpot.Y), CloseButton);
    EXPECT_EQ(at(ActionButton), ActionButton);
    app.patchFound = false;  // the launch still responds once the patch is in place
    EXPECT_EQ(at(ActionButton), ActionButton);
    app.uiState = StateReady;
    EXPECT_EQ(hitTest(app, 920, 620, closeSpot.X, closeSpot.Y), None);
    EXPECT_EQ(at(ActionButton), None);
    EXPECT_EQ(at(OpenAppFolderButton), OpenAppFolderButton);
    app.patchFound = true;
    EXPECT_EQ(at(OpenAppFolderButton), None);
    EXPECT_EQ(at(ActionButton), ActionButton);
    app.selectedCandidate = 3;  // out of range: no location selected
    EXPECT_EQ(at(ActionButton), None);
}

TEST(HitTest, ArrowsNeedTwoLocations) {
    InstallerApp app;
    app.patchFound = true;
    addLocations(app, 1);
    const MainLayout L = computeLayout(StateReady, 920, 620);
    for (ControlId id : {PrevLocationButton, NextLocationButton}) {
        const RectF& r = L.control(id);
        for (float fx : {0.0f, 0.5f, 1.0f})
            EXPECT_EQ(hitTest(app, 920, 620, r.X + fx * r.Width, r.Y + fx * r.Height), None);
    }
    addLocations(app, 1);
    const RectF c = centreOf(L.control(NextLocationButton));
    EXPECT_EQ(hitTest(app, 920, 620, c.X, c.Y), NextLocationButton);
}

TEST(SizeLimits, MinimumTrackingSize) {
    SIZE s = minimumTrackSize(1366, 728, 144);
    EXPECT_EQ(s.cx, 1350);
    EXPECT_EQ(s.cy, 712);
    s = minimumTrackSize(1920, 1040, 96);
    EXPECT_EQ(s.cx, 920);
    EXPECT_EQ(s.cy, 620);
    s = minimumTrackSize(600, 400, 96);  // never below 640 x 500
    EXPECT_EQ(s.cx, 640);
    EXPECT_EQ(s.cy, 500);
}
