// The DPI module's fallbacks against the newer functions they stand in for (Wine has both), and the
// message font's shrinking to fit a text box.
#include "dpi.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kavlo {
namespace {

LOGFONTW logFontOf(const FontPtr& font) {
    LOGFONTW logFont{};
    GetObjectW(font.get(), sizeof(logFont), &logFont);
    return logFont;
}

int lineHeight(const LOGFONTW& logFont) {
    const FontPtr font(CreateFontIndirectW(&logFont));
    const ScreenDc screen;
    const HGDIOBJ previous = SelectObject(screen.get(), font.get());
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen.get(), &metrics);
    SelectObject(screen.get(), previous);
    return metrics.tmHeight;
}

TEST(Dpi, FallbacksGiveWhatTheNewerFunctionsGiveAtTheSystemDpi) {
    const Dpi newer(Dpi::Lookups::Resolve);
    const Dpi fallback(Dpi::Lookups::FindNothing);
    const UINT dpi = newer.forSystem();
    EXPECT_EQ(fallback.forSystem(), dpi);

    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 10, 10, 100, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(fallback.forWindow(window), newer.forWindow(window));
    DestroyWindow(window);

    for (const int index : {SM_CXICON, SM_CXSMICON, SM_CYEDGE, SM_CYCAPTION, SM_CXFIXEDFRAME}) {
        EXPECT_EQ(fallback.systemMetric(index, dpi), newer.systemMetric(index, dpi)) << "metric " << index;
    }
    const RECT client{0, 0, 295, 100};
    const RECT expected = newer.windowRect(client, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, WS_EX_APPWINDOW, dpi);
    const RECT actual = fallback.windowRect(client, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, WS_EX_APPWINDOW, dpi);
    EXPECT_TRUE(EqualRect(&expected, &actual));

    // The font follows the DPI in both, also away from the system DPI.
    for (const UINT at : {dpi, dpi * 3 / 2, dpi * 2}) {
        const FontPtr fromNewer = newer.messageFont(at, 1000);
        const FontPtr fromFallback = fallback.messageFont(at, 1000);
        ASSERT_TRUE(fromNewer && fromFallback);
        EXPECT_EQ(logFontOf(fromFallback).lfHeight, logFontOf(fromNewer).lfHeight) << "at " << at << " DPI";
        EXPECT_STREQ(logFontOf(fromFallback).lfFaceName, logFontOf(fromNewer).lfFaceName);
    }
}

TEST(Dpi, MessageFontShrinksOnlyAsFarAsItMustToFit) {
    const Dpi dpi;
    const UINT systemDpi = dpi.forSystem();
    const LOGFONTW natural = logFontOf(dpi.messageFont(systemDpi * 3, 10000));
    const int naturalHeight = lineHeight(natural);
    ASSERT_GT(naturalHeight, 20);

    for (const int limit : {10000, naturalHeight, naturalHeight - 1, naturalHeight / 2, 12, 7}) {
        SCOPED_TRACE(testing::Message() << "line height at most " << limit);
        const FontPtr font = dpi.messageFont(systemDpi * 3, limit);
        ASSERT_TRUE(font);
        LOGFONTW logFont = logFontOf(font);
        EXPECT_LE(lineHeight(logFont), limit);
        EXPECT_EQ(logFont.lfHeight < 0, natural.lfHeight < 0);
        if (limit >= naturalHeight) {
            EXPECT_EQ(logFont.lfHeight, natural.lfHeight);
        } else {
            // One pixel larger would not fit: it is no smaller than it has to be.
            logFont.lfHeight += logFont.lfHeight < 0 ? -1 : 1;
            EXPECT_GT(lineHeight(logFont), limit);
        }
    }
}

}  // namespace
}  // namespace kavlo
