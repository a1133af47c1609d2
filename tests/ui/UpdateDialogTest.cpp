#include "WindowHarness.h"

#include "net/DownloadMessages.h"
#include "ui/ResourceIds.h"
#include "ui/SkinLayout.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <ctime>
#include <memory>
#include <string>

using namespace ui;
using namespace session;
using namespace net;
using namespace manifest;

namespace {

constexpr wchar_t Address[] = L"http://127.0.0.1:18080/UpdataDll.xml";

// Client points (the window sits at the screen's origin, so they are screen points as well): on
// the close button, in the title band away from it, below the band, and anywhere else.
constexpr POINT kOnClose{480, 10};
constexpr POINT kInBand{100, 10};
constexpr POINT kBelowBand{100, 60};
constexpr POINT kElsewhere{300, 100};
static_assert(skin::kCloseButtonArea.Contains(kOnClose.x, kOnClose.y));
static_assert(skin::kDragStrip.Contains(kInBand.x, kInBand.y) &&
              !skin::kCloseButtonArea.Contains(kInBand.x, kInBand.y));
static_assert(!skin::kDragStrip.Contains(kBelowBand.x, kBelowBand.y));

class UpdateDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        background_ = BitmapResource(IDB_BACKGROUND);
        close_ = BitmapResource(IDB_CLOSE_BUTTON);
        bar_ = BitmapResource(IDB_PROGRESS_BAR);
        ASSERT_EQ(background_.Width, 500);
        ASSERT_EQ(close_.Width, 120);
        ASSERT_EQ(bar_.Width, 326);
        // What the screen shows around the window before there is one.
        before_ = CaptureScreen(0, 0, CaptureWidth, CaptureHeight);
        ASSERT_FALSE(before_.Empty()) << "the screen could not be read back";
    }

    // First mismatch of the window's skin-only regions (the band left of the close button, the
    // logo column, the footer) against the background bitmap; empty when they all match.
    std::wstring SkinMismatch(const PixelImage& shot) const {
        auto check = [&](int left, int top, int right, int bottom) -> std::wstring {
            for (int y = top; y < bottom; ++y) {
                for (int x = left; x < right; ++x) {
                    if (shot.At(x, y) != background_.At(x, y)) {
                        return L"skin differs at (" + std::to_wstring(x) + L", " +
                               std::to_wstring(y) + L")";
                    }
                }
            }
            return {};
        };
        std::wstring m = check(0, 0, 470, 28);
        if (m.empty()) {
            m = check(0, 28, 148, 160);
        }
        if (m.empty()) {
            m = check(0, 132, 500, 160);
        }
        return m;
    }

    // The bar at `top` shows exactly `width` columns of the fill, the empty trough after them,
    // and leaves the rows above and below alone.
    bool BarShows(const PixelImage& shot, int top, int width) const {
        for (int y = top - 1; y <= top + skin::kBarHeight; ++y) {
            for (int x = skin::kBarX - 1; x <= skin::kBarX + skin::kBarFullWidth; ++x) {
                bool filled = y >= top && y < top + skin::kBarHeight && x >= skin::kBarX &&
                              x < skin::kBarX + width;
                uint32_t want = filled ? bar_.At(x - skin::kBarX, y - top) : background_.At(x, y);
                if (shot.At(x, y) != want) {
                    return false;
                }
            }
        }
        return true;
    }

    bool CloseShows(const PixelImage& shot, int frame) const {
        for (int y = 0; y < skin::kCloseFrameHeight; ++y) {
            for (int x = 0; x < skin::kCloseFrameWidth; ++x) {
                if (shot.At(skin::kCloseFrameX + x, y) !=
                    close_.At(frame * skin::kCloseFrameWidth + x, y)) {
                    return false;
                }
            }
        }
        return true;
    }

    // Nothing right of or below the 500 x 160 client area changed.
    bool OutsideUntouched(const PixelImage& shot) const {
        for (int y = 0; y < CaptureHeight; ++y) {
            for (int x = 0; x < CaptureWidth; ++x) {
                if ((x >= skin::kWindowWidth || y >= skin::kWindowHeight) &&
                    shot.At(x, y) != before_.At(x, y)) {
                    return false;
                }
            }
        }
        return true;
    }

    static void SendProgress(HWND window, TaskKind kind, uint32_t received) {
        const DownloadProgress progress{static_cast<uint16_t>(kind), received};
        ::SendMessageW(window, WM_DOWNLOAD_PROGRESS, ProgressWParam(progress),
                       ProgressLParam(progress));
    }

    // Queues `count` file downloads that never start: the window counts the listed downloads.
    static void ListDownloads(UpdateSession& session, int count) {
        for (int i = 0; i < count; ++i) {
            session.QueueFile(FileEntry(L"C:\\never\\file.dat"));
        }
    }

    static void MoveCursor(int x, int y) {
        ::SetCursorPos(x, y);
        // Let the pointer motion that the move causes reach the window first.
        ::Sleep(150);
    }

    PixelImage background_, close_, bar_, before_;
};

TEST_F(UpdateDialogTest, OpensSkinnedAtTheTopLeftWithItsTrayIcon) {
    WindowRun run(Address);
    HWND window = run.Window();
    ASSERT_NE(window, nullptr);
    PixelImage shot = CaptureWhen(
        [&](const PixelImage& s) { return SkinMismatch(s).empty() && CloseShows(s, 0); });
    KeepScreenshot(shot, L"idle");

    EXPECT_EQ(SkinMismatch(shot), L"");
    EXPECT_TRUE(CloseShows(shot, 0));
    EXPECT_TRUE(BarShows(shot, skin::kFileBarY, 0));
    EXPECT_TRUE(BarShows(shot, skin::kTotalBarY, 0));
    EXPECT_TRUE(OutsideUntouched(shot));

    RECT rect{};
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 500);
    EXPECT_EQ(rect.bottom, 160);
    ::GetClientRect(window, &rect);
    EXPECT_EQ(rect.right, 500);
    EXPECT_EQ(rect.bottom, 160);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_TRUE(TrayIconPresent(window));

    // A minimise request is refused.
    ::SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(::IsIconic(window));
    EXPECT_TRUE(::IsWindowVisible(window));
}

TEST_F(UpdateDialogTest, BarsFollowTheProgressMessages) {
    WindowRun run(Address);
    HWND window = run.Window();
    ASSERT_NE(window, nullptr);
    // Ten files planned, the third being fetched: eight tasks are still listed.
    SessionlessDialog& dialog = run.Dialog();
    // The file being fetched and what the files before it brought.
    auto setFile = [&](uint32_t length, uint32_t bytesBefore) {
        run.OnWindowThread([&] {
            dialog.Session.Figures.FileLength = length;
            dialog.Session.Figures.BytesBeforeFile = bytesBefore;
        });
    };
    run.OnWindowThread([&] {
        dialog.Session.Figures.FilesToUpdate = 10;
        dialog.Session.Figures.TotalBytes = 409'600;
        dialog.Session.Figures.FileLength = 1000;
        dialog.Session.Figures.BytesBeforeFile = 59'550;
        // As if the previous sample had been taken a quarter of a second ago.
        dialog.LastSampleClock = static_cast<int32_t>(std::clock()) - 250;
        ListDownloads(dialog.Session, 8);
        dialog.SetStatusText(L"正在更新文件：Halvenport.exe");
    });

    // 45 % of the file; 60,000 of 409,600 bytes is 14 % in all.
    SendProgress(window, TaskKind::UpdateFile, 450);
    PixelImage shot = CaptureWhen([&](const PixelImage& s) {
        return BarShows(s, skin::kFileBarY, 146) && BarShows(s, skin::kTotalBarY, 45);
    });
    KeepScreenshot(shot, L"progress");
    EXPECT_TRUE(BarShows(shot, skin::kFileBarY, 146));
    EXPECT_TRUE(BarShows(shot, skin::kTotalBarY, 45));
    EXPECT_TRUE(OutsideUntouched(shot));
    EXPECT_EQ(SkinMismatch(shot), L"");

    // The status and progress lines are drawn in the rows given to them.
    auto inkIn = [&](int left, int top, int right, int bottom) {
        int ink = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                ink += shot.At(x, y) != background_.At(x, y);
            }
        }
        return ink;
    };
    // Rows looked at below each line's top, and where the progress line gives way to the rate.
    constexpr int kStatusRows = 16;
    constexpr int kFigureRows = 15;
    constexpr int kProgressRight = 420;
    EXPECT_GT(
        inkIn(skin::kStatusX, skin::kStatusY, skin::kCloseFrameX, skin::kStatusY + kStatusRows),
        50);
    EXPECT_GT(
        inkIn(skin::kProgressX, skin::kProgressY, kProgressRight, skin::kProgressY + kFigureRows),
        20);
    EXPECT_GT(
        inkIn(skin::kSpeedX, skin::kSpeedY, skin::kWindowWidth - 1, skin::kSpeedY + kFigureRows),
        20);

    struct Step {
        uint32_t received, length, bytesBefore;
        int fileWidth, totalWidth;
    };
    // The manifest's download (no length) moves neither figure.
    setFile(0, 0);
    SendProgress(window, TaskKind::Manifest, 500);
    for (Step step : {Step{10, 1000, 102'390, 3, 81},      // 1 %; 102,400 bytes = 25 %
                      Step{990, 1000, 161'410, 322, 127},  // 99 %; 162,400 = 39 %
                      Step{1000, 1000, 206'400, 326, 163}, // 100 %; 207,400 = 50 %
                      // A file above 42,949,672 bytes: 3e9 x 100 overflows 32 bits; past the
                      // plan's total (files bigger than announced) the bar stays in its trough.
                      Step{3'000'000'000u, 4'000'000'000u, 0, 244, 326}}) {
        setFile(step.length, step.bytesBefore);
        SendProgress(window, TaskKind::UpdateFile, step.received);
        shot = CaptureWhen([&](const PixelImage& s) {
            return BarShows(s, skin::kFileBarY, step.fileWidth) &&
                   BarShows(s, skin::kTotalBarY, step.totalWidth);
        });
        EXPECT_TRUE(BarShows(shot, skin::kFileBarY, step.fileWidth)) << step.fileWidth;
        EXPECT_TRUE(BarShows(shot, skin::kTotalBarY, step.totalWidth)) << step.totalWidth;
    }
    EXPECT_TRUE(OutsideUntouched(shot));
}

TEST_F(UpdateDialogTest, TrayIconAnimatesAndShowsProgressInItsTip) {
    WindowRun run(Address);
    HWND window = run.Window();
    ASSERT_NE(window, nullptr);
    SessionlessDialog& dialog = run.Dialog();
    HINSTANCE self = ::GetModuleHandleW(nullptr);
    HICON blue = ::LoadIconW(self, MAKEINTRESOURCEW(IDI_TRAY_BLUE));
    HICON green = ::LoadIconW(self, MAKEINTRESOURCEW(IDI_TRAY_GREEN));
    HICON red = ::LoadIconW(self, MAKEINTRESOURCEW(IDI_TRAY_RED));
    std::wstring tip;
    HICON icon = nullptr;
    auto read = [&] {
        run.OnWindowThread([&] {
            icon = dialog.TrayData.hIcon;
            tip = dialog.TrayData.szTip;
        });
    };
    read();
    EXPECT_EQ(icon, blue);
    EXPECT_EQ(tip, L"正在自动更新");

    SendProgress(window, TaskKind::Manifest, 1024);
    read();
    // The animation counter is shared by the whole process, so only the order is fixed.
    HICON order[3] = {blue, green, red};
    int at = icon == blue ? 0 : icon == green ? 1 : icon == red ? 2 : -1;
    ASSERT_NE(at, -1);
    for (int i = 1; i <= 4; ++i) {
        SendProgress(window, TaskKind::Manifest, 1024 * (i + 1));
        read();
        EXPECT_EQ(icon, order[(at + i) % 3]);
    }
    EXPECT_EQ(tip, L"正在自动更新");
    EXPECT_TRUE(TrayIconPresent(window));

    run.OnWindowThread([&] {
        dialog.Session.Figures.FilesToUpdate = 3;
        dialog.Session.Figures.FileLength = 200;
        ListDownloads(dialog.Session, 1);
    });
    SendProgress(window, TaskKind::UpdateFile, 150);
    read();
    EXPECT_EQ(tip, L"正在自动更新 (3/3) 75%");
}

TEST_F(UpdateDialogTest, CloseButtonShowsItsFramesAndTakesTheTrayIconDownOnRelease) {
    WindowRun run(Address);
    HWND window = run.Window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(TrayIconPresent(window));
    auto send = [&](UINT message, int x, int y) {
        ::SendMessageW(window, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0,
                       MAKELPARAM(x, y));
    };
    // The window is at (0, 0), so screen and client coordinates agree. The cursor is only
    // moved while no press is armed: a move in the title band with a press armed would start
    // a system move of the window.
    MoveCursor(kElsewhere.x, kElsewhere.y);
    send(WM_MOUSEMOVE, kElsewhere.x, kElsewhere.y);
    PixelImage shot = CaptureWhen([&](const PixelImage& s) { return CloseShows(s, 0); });
    EXPECT_TRUE(CloseShows(shot, 0));

    MoveCursor(kOnClose.x, kOnClose.y);
    send(WM_MOUSEMOVE, kOnClose.x, kOnClose.y);
    shot = CaptureWhen([&](const PixelImage& s) { return CloseShows(s, 1); });
    KeepScreenshot(shot, L"close-hover");
    EXPECT_TRUE(CloseShows(shot, 1));

    send(WM_LBUTTONDOWN, kOnClose.x, kOnClose.y);
    shot = CaptureWhen([&](const PixelImage& s) { return CloseShows(s, 2); });
    KeepScreenshot(shot, L"close-pressed");
    EXPECT_TRUE(CloseShows(shot, 2));
    EXPECT_TRUE(OutsideUntouched(shot));

    // The release would end the process; this window only records that it was asked to.
    SessionlessDialog& dialog = run.Dialog();
    bool exitRequested = false, iconAtExit = true;
    send(WM_LBUTTONUP, kOnClose.x, kOnClose.y);
    run.OnWindowThread([&] {
        exitRequested = dialog.ExitRequested;
        iconAtExit = dialog.TrayIconAtExit;
    });
    EXPECT_TRUE(exitRequested);
    // Probed while the window still lives, so the shell could not have tidied up for it.
    EXPECT_FALSE(iconAtExit);
    EXPECT_FALSE(TrayIconPresent(window));
    shot = CaptureWhen([&](const PixelImage& s) { return CloseShows(s, 0); });
    EXPECT_TRUE(CloseShows(shot, 0));
}

TEST_F(UpdateDialogTest, PressAndMoveInTheTitleBandStartsASystemMove) {
    WindowRun run(Address);
    HWND window = run.Window();
    ASSERT_NE(window, nullptr);
    SessionlessDialog& dialog = run.Dialog();
    auto moveCommands = [&] {
        int n = -1;
        run.OnWindowThread([&] { n = dialog.MoveCommands; });
        return n;
    };

    // Pressed below the band: moving there drags nothing.
    MoveCursor(kBelowBand.x, kBelowBand.y);
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kBelowBand.x, kBelowBand.y));
    ::SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(kBelowBand.x, kBelowBand.y));
    ::Sleep(200);
    EXPECT_EQ(moveCommands(), 0);

    // Still held, the cursor enters the band: the system takes over the move.
    MoveCursor(kInBand.x, kInBand.y);
    ::SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(kInBand.x, kInBand.y));
    ::Sleep(200);
    // Each armed move in the band posts a move request and each request runs the system's
    // move loop until a release; the pointer motion of the cursor move may have added one to
    // the test's own. The release that no loop takes disarms the window.
    for (int i = 0; i < 3; ++i) {
        ::PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(kInBand.x, kInBand.y));
        ::Sleep(100);
    }
    EXPECT_GE(moveCommands(), 1);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0); // the cursor did not move while the system moved the window
    EXPECT_EQ(rect.top, 0);
}

TEST_F(UpdateDialogTest, QuitMessageEndsTheDialogAndRemovesTheTrayIcon) {
    WindowRun run(Address);
    HWND window = run.Window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(TrayIconPresent(window));
    // The session ends the run this way.
    ::PostMessageW(window, WM_QUIT, 0, 0);
    ASSERT_TRUE(run.WaitEnded(5000));
    EXPECT_FALSE(run.TrayAddedAtEnd);
    EXPECT_TRUE(run.SessionStarted);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_FALSE(TrayIconPresent(window));
}

TEST_F(UpdateDialogTest, EscapeEndsTheDialogAndRemovesTheTrayIcon) {
    WindowRun run(Address);
    HWND window = run.Window();
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(run.WaitEnded(5000));
    EXPECT_EQ(run.Result, IDCANCEL);
    EXPECT_FALSE(run.TrayAddedAtEnd);
    EXPECT_FALSE(TrayIconPresent(window));
}

TEST_F(UpdateDialogTest, EmptyAddressIsRefusedWithABox) {
    WindowRun run(L"");
    HWND box = nullptr;
    for (int i = 0; i < 100 && box == nullptr; ++i) {
        ::Sleep(50);
        box = ::FindWindowW(L"#32770", L"系统提示");
    }
    ASSERT_NE(box, nullptr);
    wchar_t text[256] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 256);
    EXPECT_STREQ(text, L"请输传递服务器列表参数 格式： ...exe http://..../..serverlist.txt auto");
    ::Sleep(700); // let the box paint its text before it is kept
    KeepScreenshot(CaptureScreen(0, 0, 1024, 768), L"empty-address");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(run.WaitEnded(5000));
    EXPECT_FALSE(run.SessionStarted);
    EXPECT_FALSE(run.TrayAddedAtEnd);
}

} // namespace
