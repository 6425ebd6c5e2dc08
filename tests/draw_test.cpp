// The drawing kit drawn into off-screen bitmaps: fills, outlines, text rules and the widgets' colours.
#include <gtest/gtest.h>

#include <string>

#include "install/installer_app.h"
#include "gdiplus_canvas.h"
#include "test_support.h"
#include "ui/draw.h"

namespace {

// The rows of [y0, y1) that hold any ink in the column range.
int inkedRows(const Canvas& c, int x0, int x1, int y0, int y1) {
    int rows = 0;
    for (int y = y0; y < y1; ++y) rows += c.ink(x0, y, x1, y + 1) > 0 ? 1 : 0;
    return rows;
}

int lastInkedColumn(const Canvas& c, int y0, int y1) {
    for (int x = c.width - 1; x >= 0; --x)
        if (c.ink(x, y0, x + 1, y1) > 0) return x;
    return -1;
}

}  // namespace

TEST(Shapes, RoundedFillCoversTheInsideButNotTheCorners) {
    Canvas c(120, 80);
    fillRoundedRect(c.dc, {10, 10, 100, 60}, 14, 0xFF3DB784);
    EXPECT_EQ(c.dc.lastStatus, Gdiplus::Ok);
    EXPECT_EQ(c.pixel(60, 40), 0xFF3DB784u);
    EXPECT_EQ(c.pixel(60, 11), 0xFF3DB784u);  // straight top edge
    EXPECT_EQ(c.pixel(11, 11), 0u);           // rounded away
    EXPECT_EQ(c.pixel(108, 68), 0u);
    EXPECT_EQ(c.pixel(5, 40), 0u);
}

TEST(Shapes, OutlineLeavesTheInsideEmpty) {
    Canvas c(120, 80);
    strokeRoundedRect(c.dc, {10.5f, 10.5f, 100, 60}, 10, 0xFFE04A6F);
    EXPECT_EQ(c.dc.lastStatus, Gdiplus::Ok);
    EXPECT_EQ(c.pixel(60, 40), 0u);
    EXPECT_GT(c.ink(59, 9, 61, 12), 0xF0u);
    EXPECT_GT(c.ink(9, 39, 12, 41), 0xF0u);
    EXPECT_EQ(c.ink(22, 12, 100, 69), 0u);
}

TEST(Shapes, GradientBrushRunsBetweenItsPoints) {
    Canvas c(100, 10);
    Brush brush = makeGradientBrush({0, 0}, {100, 0}, 0xFF000000, 0xFFFFFFFF);
    ASSERT_EQ(brush.status, Gdiplus::Ok);
    c.dc.record(Gdiplus::DllExports::GdipFillRectangle(c.dc.graphics, brush.get(), 0, 0, 100, 10));
    EXPECT_LT(c.pixel(2, 5) & 0xFF, 0x10u);
    EXPECT_GT(c.pixel(97, 5) & 0xFF, 0xF0u);
    EXPECT_NEAR(static_cast<int>(c.pixel(50, 5) & 0xFF), 0x80, 8);
}

TEST(Context, RecordsTheLastFailureAndKeepsIt) {
    DrawContext dc;  // no graphics: every drawing call fails
    fillRoundedRect(dc, {0, 0, 10, 10}, 2, 0xFFFFFFFF);
    EXPECT_EQ(dc.lastStatus, Gdiplus::InvalidParameter);
    dc.record(Gdiplus::Ok);
    EXPECT_EQ(dc.lastStatus, Gdiplus::InvalidParameter);
    dc.record(Gdiplus::OutOfMemory);
    EXPECT_EQ(dc.lastStatus, Gdiplus::OutOfMemory);
}

TEST(Text, EmptyTextOrNoFamilyDrawsNothing) {
    OwnedFontFamily family = createFontFamily(English);
    Canvas c(200, 40);
    c.dc.lastStatus = Gdiplus::Aborted;  // a marker that a call on our behalf would not leave in place
    drawText(c.dc, family.get(), L"", 0, 12, StyleRegular, 0xFF000000, {0, 0, 200, 40}, AlignNear, TrimCharacter, 0);
    drawText(c.dc, family.get(), L"", -1, 12, StyleRegular, 0xFF000000, {0, 0, 200, 40}, AlignNear, TrimCharacter, 0);
    drawText(c.dc, nullptr, L"Text", 4, 12, StyleRegular, 0xFF000000, {0, 0, 200, 40}, AlignNear, TrimCharacter, 0);
    EXPECT_EQ(c.ink(0, 0, 200, 40), 0u);
    EXPECT_EQ(c.dc.lastStatus, Gdiplus::Aborted);
}

TEST(Text, OneLineVerticallyCentredAndCutWithAnEllipsis) {
    OwnedFontFamily family = createFontFamily(English);
    Canvas c(320, 200);
    const std::wstring longText(200, L'W');
    drawText(c.dc, family.get(), longText.c_str(), static_cast<int>(longText.size()), 16, StyleRegular, 0xFF000000,
             {10, 0, 200, 200}, AlignNear, TrimCharacter, 0);
    EXPECT_EQ(c.dc.lastStatus, Gdiplus::Ok);
    const int rows = inkedRows(c, 0, 320, 0, 200);
    EXPECT_GT(rows, 5);
    EXPECT_LT(rows, 24);                  // one line, no wrap
    EXPECT_EQ(c.ink(0, 0, 320, 80), 0u);  // centred: nothing in the top part
    EXPECT_EQ(c.ink(0, 120, 320, 200), 0u);
    EXPECT_LE(lastInkedColumn(c, 0, 200), 210);
    EXPECT_GT(lastInkedColumn(c, 0, 200), 180);
}

TEST(Text, PathTrimmingKeepsTheStartInsideTheBox) {
    OwnedFontFamily family = createFontFamily(English);
    const std::wstring path = L"C:\\Program Files (x86)\\Steam\\steamapps\\common\\Some\\Deep\\Folder\\XYZ";
    Canvas whole(900, 30), trimmed(900, 30);
    drawText(trimmed.dc, family.get(), path.c_str(), -1, 12, StyleRegular, 0xFF000000, {0, 0, 250, 30}, AlignNear,
             TrimPath, 0);
    drawText(whole.dc, family.get(), path.c_str(), -1, 12, StyleRegular, 0xFF000000, {0, 0, 900, 30}, AlignNear,
             TrimPath, 0);
    EXPECT_EQ(trimmed.dc.lastStatus, Gdiplus::Ok);
    EXPECT_LE(lastInkedColumn(trimmed, 0, 30), 250);
    EXPECT_GT(lastInkedColumn(whole, 0, 30), 400);
    // Wine's GDI+ cuts the line at the box instead of placing the ellipsis, so only the start is compared.
    EXPECT_EQ(trimmed.ink(0, 0, 60, 30), whole.ink(0, 0, 60, 30));
}

TEST(Text, BoldOffsetDrawsASecondShiftedCopy) {
    EXPECT_FLOAT_EQ(boldOffsetFor(TraditionalChinese, true), 0.6f);
    EXPECT_FLOAT_EQ(boldOffsetFor(TraditionalChinese, false), 0.28f);
    EXPECT_FLOAT_EQ(boldOffsetFor(English, true), 0.0f);
    EXPECT_FLOAT_EQ(boldOffsetFor(SimplifiedChinese, false), 0.0f);
    OwnedFontFamily family = createFontFamily(TraditionalChinese);
    Canvas once(200, 40), twice(200, 40);
    const wchar_t* caption = L"開始安裝";
    drawText(once.dc, family.get(), caption, -1, 16, StyleBold, 0xFF000000, {0, 0, 200, 40}, AlignNear, TrimCharacter,
             0);
    drawText(twice.dc, family.get(), caption, -1, 16, StyleBold, 0xFF000000, {0, 0, 200, 40}, AlignNear, TrimCharacter,
             0.6f);
    EXPECT_GT(twice.ink(0, 0, 200, 40), once.ink(0, 0, 200, 40));
}

TEST(Widgets, PillButtonColoursNormalAndHot) {
    InstallerApp app;
    app.language = English;
    app.fontFamily = createFontFamily(English);
    const RectF r{10, 10, 150, 40};
    for (bool primary : {true, false}) {
        for (bool hot : {false, true}) {
            Canvas c(200, 60);
            drawPillButton(app, c.dc, r, L"Choose folder", hot, primary);
            const uint32_t expected = primary ? (hot ? 0xFFF579A5 : 0xFFE86094) : (hot ? 0xF5FFF2F7 : 0xD7FFFFFF);
            EXPECT_EQ(c.pixel(18, 30), expected) << primary << hot;
            EXPECT_GT(c.ink(40, 15, 130, 45), 0u);
        }
    }
}

TEST(Widgets, ArrowChevronsPointTheirWay) {
    for (bool right : {true, false}) {
        for (bool hot : {false, true}) {
            Canvas c(40, 40);
            drawArrowButton(c.dc, {5, 5, 30, 30}, right, hot);
            const int tip = right ? 24 : 15;  // centre 20, tip 4 to the side
            const int back = right ? 15 : 24;
            EXPECT_EQ(c.pixel(8, 20), hot ? 0xFFF9DAE7u : 0xDCFFFFFFu);
            EXPECT_NE(c.pixel(tip - (right ? 1 : 0), 20), c.pixel(8, 20));    // the stroke at the tip
            EXPECT_EQ(c.pixel(back + (right ? -2 : 2), 20), c.pixel(8, 20));  // nothing behind the tip
        }
    }
}

TEST(Widgets, LanguageChipLooks) {
    InstallerApp app;
    app.language = English;
    app.fontFamily = createFontFamily(English);
    const RectF r{0, 0, 58, 36};
    Canvas selected(60, 40), hovered(60, 40), plain(60, 40);
    drawLanguageChip(app, selected.dc, r, L"EN", English, 3);
    app.hoverControl = 1;
    drawLanguageChip(app, hovered.dc, r, L"简中", SimplifiedChinese, 1);
    app.hoverControl = 0;
    drawLanguageChip(app, plain.dc, r, L"简中", SimplifiedChinese, 1);
    EXPECT_EQ(selected.pixel(4, 18), 0xFFEB6397u);
    EXPECT_EQ(hovered.pixel(4, 18), 0xD2FFECF4u);
    EXPECT_EQ(plain.pixel(4, 18), 0u);
    EXPECT_GT(plain.ink(10, 5, 50, 31), 0u);
    EXPECT_EQ(plain.ink(0, 0, 8, 36), 0u);
}

// Each chip's label comes out exactly as the chip's own language font draws it, whatever the current
// language; the Latin font would draw the CJK labels as empty boxes.
TEST(Widgets, LanguageChipLabelsUseTheirOwnLanguagesFont) {
    struct Chip {
        int32_t current;
        const wchar_t* label;
        int32_t language;
    };
    const Chip chips[] = {{English, L"简中", SimplifiedChinese},
                          {English, L"繁中", TraditionalChinese},
                          {SimplifiedChinese, L"EN", English}};
    const RectF r{0, 0, 58, 36};
    for (const Chip& chip : chips) {
        InstallerApp app;
        app.language = chip.current;
        app.fontFamily = createFontFamily(chip.current);
        Canvas drawn(60, 40), own(60, 40), current(60, 40);
        drawLanguageChip(app, drawn.dc, r, chip.label, chip.language, 1);
        const OwnedFontFamily ownFamily = createFontFamily(chip.language);
        drawText(own.dc, ownFamily.get(), chip.label, -1, 11, StyleRegular, 0xFF46374E, r, AlignCentre, TrimCharacter,
                 0);
        drawText(current.dc, app.fontFamily.get(), chip.label, -1, 11, StyleRegular, 0xFF46374E, r, AlignCentre,
                 TrimCharacter, 0);
        int sameAsOwn = 0, sameAsCurrent = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) {
                sameAsOwn += drawn.pixel(x, y) == own.pixel(x, y) ? 1 : 0;
                sameAsCurrent += drawn.pixel(x, y) == current.pixel(x, y) ? 1 : 0;
            }
        EXPECT_GT(drawn.ink(0, 0, 60, 40), 0u);
        EXPECT_EQ(sameAsOwn, 60 * 40) << narrow(chip.label);
        if (chip.language != English) {
            EXPECT_LT(sameAsCurrent, 60 * 40) << narrow(chip.label);
        }
    }
}
