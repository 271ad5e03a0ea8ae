#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace quarn::widgets {

// Registers the compiled-in artwork; call once before loading any of the paths below.
void InitArtwork();

// Console: intro title (591 x 32), caption title (155 x 22), intro logo (277 x 178).
inline constexpr const char* kTitleIntro = ":/quarn/title_intro.png";
inline constexpr const char* kTitleMain = ":/quarn/title_main.png";
inline constexpr const char* kLogo = ":/quarn/logo.png";
// Help window title (816 x 31).
inline constexpr const char* kTitleHelp = ":/quarn/title_help.png";

// Start/stop symbols: two 25 x 25 (0 idle, 1 measuring), transparent #9AB14B.
inline constexpr const char* kStartStopStrip = ":/quarn/start_stop.png";
inline constexpr int kStartStopSize = 25;
inline const QColor kStartStopTransparent{0x9A, 0xB1, 0x4B};
// "Add End Point" normal/hover, "Search End Point" normal/hover: four 14 x 14,
// transparent #FFFBFF.
inline constexpr const char* kEndPointButtonsStrip = ":/quarn/endpoint_buttons.png";
inline constexpr int kEndPointButtonSize = 14;
inline const QColor kEndPointButtonsTransparent{0xFF, 0xFB, 0xFF};
// "Add manually" and "Delete pair" icons, 10 x 10 (alpha).
inline constexpr const char* kAddPairIcon = ":/quarn/add_pair.png";
inline constexpr const char* kDeletePairIcon = ":/quarn/delete_pair.png";

// Notice icons: three 26 x 24 (0 check, 1 question, 2 warning) on #FAFAFA; the
// transparent colour #0000FF does not occur.
inline constexpr const char* kNoticeIconsStrip = ":/quarn/notice_icons.png";
inline constexpr int kNoticeIconWidth = 26;
inline const QColor kNoticeIconsTransparent{0x00, 0x00, 0xFF};

// Busy animation, 21 x 21, twelve frames of 80 ms, endless loop.
inline constexpr const char* kBusyAnimation = ":/quarn/busy.gif";

// Caption buttons of the Console: three 12 x 12 each (normal, hover, pressed), alpha.
inline constexpr const char* kCaptionHelpStrip = ":/quarn/caption_help.png";
inline constexpr const char* kCaptionMinimizeStrip = ":/quarn/caption_minimize.png";
inline constexpr const char* kCaptionCloseStrip = ":/quarn/caption_close.png";
inline constexpr int kCaptionButtonSize = 12;
// Small close button (log and help windows, EndPoint close): two 12 x 12 (normal, hover).
inline constexpr const char* kCloseSmallStrip = ":/quarn/close_small.png";
// File menu button: two 14 x 15 (normal, hover).
inline constexpr const char* kFileMenuStrip = ":/quarn/file_menu.png";
inline constexpr int kFileMenuWidth = 14;
// Aggregate curve toggle: two 45 x 19 (0 on, 1 off).
inline constexpr const char* kTotalToggleStrip = ":/quarn/total_toggle.png";
inline constexpr int kTotalToggleWidth = 45;
// Arrow from End Point 1 to End Point 2: pair setting 10 x 9 (transparent #E1E1E1),
// EndPoint panel title 40 x 11 (alpha).
inline constexpr const char* kArrowSmall = ":/quarn/arrow_small.png";
inline const QColor kArrowSmallTransparent{0xE1, 0xE1, 0xE1};
inline constexpr const char* kArrowPanel = ":/quarn/arrow_panel.png";
// Swap button: two 20 x 20 (normal, hover), white transparent.
inline constexpr const char* kSwapStrip = ":/quarn/swap.png";
inline constexpr int kSwapSize = 20;

// Program icons (PNG in 16, 24, 32, 48, 64, 128, 256 and one .ico file with several).
inline constexpr const char* kConsoleIconIco = ":/quarn/console.ico";
inline constexpr const char* kEndPointIconIco = ":/quarn/endpoint.ico";
QString ConsoleIconPath(int size);   // ":/quarn/console_icon_<size>.png"
QString EndPointIconPath(int size);  // ":/quarn/endpoint_icon_<size>.png"
// The program icon with every size, for QWidget::setWindowIcon.
QIcon ConsoleIcon();
QIcon EndPointIcon();

// Row and legend markers: index 0 "All" (black), k = pair k (1..16); size 6 or 8.
QString MarkerPath(int index, int size);
// Parallel-stream badges 15 x 9 for 2..16 streams; empty outside that range.
QString BadgePath(int streams);

// Image `index` of a horizontal strip of `width`-pixel images, with every pixel of the
// colour `transparent` made transparent (an invalid colour keeps the image as it is).
QPixmap StripImage(const QString& path, int index, int width, const QColor& transparent = QColor());

}  // namespace quarn::widgets
