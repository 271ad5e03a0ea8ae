// Draws the programs' artwork into PNG files: flat shapes in the green palette.
// Usage: artwork_generator <output folder>. Run by ../generate_artwork.sh.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <array>
#include <cmath>
#include <cstdio>

namespace {

const QColor kGreen(0x9A, 0xB1, 0x4B);
const QColor kGreenDark(0x57, 0x81, 0x01);
const QColor kGreenDeep(0x4A, 0x63, 0x12);
const QColor kGreenLight(0xC2, 0xCF, 0x95);
const QColor kGreenPale(0xED, 0xF3, 0xD8);
const QColor kGrey(0x7B, 0x7B, 0x7B);

QString gOut;

// The marker colours of the curves: 0 is All, k is pair k.
constexpr std::array<unsigned, 17> kPalette = {
    0xFF000000, 0xFF578101, 0xFFAFB74C, 0xFFFFE200, 0xFFFE7000, 0xFFC80062,
    0xFFFD93D1, 0xFFB879FF, 0xFF814398, 0xFF0060EE, 0xFF3468A1, 0xFF81DFFB,
    0xFF39EFD6, 0xFF83FF00, 0xFFCEB29C, 0xFFAB6B65, 0xFFC38E0B};

// 3 x 5 pixel glyphs for labels too small for any outline font.
const char* Glyph(char c) {
    switch (c) {
        case '0':
            return "111101101101111";
        case '1':
            return "010110010010111";
        case '2':
            return "111001111100111";
        case '3':
            return "111001111001111";
        case '4':
            return "101101111001001";
        case '5':
            return "111100111001111";
        case '6':
            return "111100111101111";
        case '7':
            return "111001001010010";
        case '8':
            return "111101111101111";
        case '9':
            return "111101111001111";
        case 'x':
            return "000101010101000";
        default:
            return "000000000000000";
    }
}

int PixelTextWidth(const QString& text) {
    return text.isEmpty() ? 0 : text.size() * 4 - 1;
}

void PixelText(QImage& image, int x, int y, const QString& text, QColor colour) {
    for (QChar ch : text) {
        const char* bits = Glyph(ch.toLatin1());
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (bits[row * 3 + col] == '1') {
                    image.setPixelColor(x + col, y + row, colour);
                }
            }
        }
        x += 4;
    }
}

QImage Blank(int w, int h, QColor fill = Qt::transparent) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(fill);
    return image;
}

void Save(const QImage& image, const QString& name) {
    const QString path = gOut + "/" + name;
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

QFont Face(int pixels, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The product mark: a rounded green square with three rising bars and a curve.
void Mark(QPainter& p, QRectF r) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double u = r.width() / 16.0;
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawRoundedRect(r, 3 * u, 3 * u);
    p.setBrush(Qt::white);
    const double base = r.bottom() - 3 * u;
    const double heights[] = {4, 7, 10};
    for (int i = 0; i < 3; ++i) {
        p.drawRect(
            QRectF(r.left() + (3 + i * 3.7) * u, base - heights[i] * u, 2.4 * u, heights[i] * u));
    }
    p.restore();
}

void ProgramIcons() {
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage console = Blank(size, size);
        {
            QPainter p(&console);
            Mark(p, QRectF(0, 0, size, size));
        }
        Save(console, QString("console_icon_%1.png").arg(size));

        // The agent: the same square with a node sending two waves.
        QImage endpoint = Blank(size, size);
        {
            QPainter p(&endpoint);
            p.setRenderHint(QPainter::Antialiasing);
            const double u = size / 16.0;
            p.setPen(Qt::NoPen);
            p.setBrush(kGreenDark);
            p.drawRoundedRect(QRectF(0, 0, size, size), 3 * u, 3 * u);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(5 * u, 11 * u), 2 * u, 2 * u);
            QPen wave(Qt::white, std::max(1.0, 1.5 * u), Qt::SolidLine, Qt::RoundCap);
            p.setPen(wave);
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(5 * u - 5 * u, 11 * u - 5 * u, 10 * u, 10 * u), 0 * 16, 90 * 16);
            p.drawArc(QRectF(5 * u - 8.5 * u, 11 * u - 8.5 * u, 17 * u, 17 * u), 0 * 16, 90 * 16);
        }
        Save(endpoint, QString("endpoint_icon_%1.png").arg(size));
    }
}

void Titles() {
    // Intro title: a green band with the product name.
    QImage intro = Blank(591, 32, kGreen);
    {
        QPainter p(&intro);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.fillRect(0, 30, 591, 2, kGreenDark);
        Mark(p, QRectF(8, 7, 18, 18));
        p.setPen(Qt::white);
        p.setFont(Face(15, true));
        p.drawText(QRect(32, 0, 400, 31), Qt::AlignVCenter | Qt::AlignLeft, "Tolvex Quarn Console");
    }
    Save(intro, "title_intro.png");

    // Caption title of the main window, on the caption's #E0E0E0.
    QImage caption = Blank(155, 22, QColor(224, 224, 224));
    {
        QPainter p(&caption);
        Mark(p, QRectF(1, 3, 16, 16));
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setPen(QColor(0x4B, 0x4B, 0x4B));
        QFont font = Face(11, true);
        font.setStretch(QFont::SemiCondensed);
        p.setFont(font);
        p.drawText(QRect(21, 0, 134, 22), Qt::AlignVCenter | Qt::AlignLeft, "Tolvex Quarn Console");
    }
    Save(caption, "title_main.png");

    // Help window title.
    QImage help = Blank(816, 31, QColor(224, 224, 224));
    {
        QPainter p(&help);
        p.fillRect(0, 29, 816, 2, kGreen);
        // The window writes "Manual" at (35, 11) itself: only the mark is drawn here.
        Mark(p, QRectF(7, 6, 17, 17));
    }
    Save(help, "title_help.png");
}

void Logo() {
    QImage logo = Blank(277, 178, QColor(241, 241, 241));
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(8.5, 6.5, 260, 120), 10, 10);
    p.setPen(QPen(QColor(0xEE, 0xEE, 0xEE), 1));
    for (int i = 1; i < 5; ++i) {
        p.drawLine(QPointF(24, 20 + i * 20), QPointF(254, 20 + i * 20));
    }
    // Three curves in the first series colours.
    const QColor colours[] = {kGreenDark, QColor(0xAF, 0xB7, 0x4C), QColor(0x00, 0x60, 0xEE)};
    const double shapes[3][9] = {{95, 80, 86, 60, 66, 48, 52, 40, 36},
                                 {105, 100, 92, 94, 80, 84, 74, 70, 66},
                                 {112, 108, 110, 102, 104, 98, 100, 94, 96}};
    for (int c = 0; c < 3; ++c) {
        QPainterPath path;
        path.moveTo(24, shapes[c][0]);
        for (int i = 1; i < 9; ++i) {
            path.lineTo(24 + i * 28.75, shapes[c][i]);
        }
        p.setPen(QPen(colours[c], 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
    p.setPen(QPen(QColor(0xD0, 0xD0, 0xD0), 2));
    p.drawLine(QPointF(24, 26), QPointF(24, 116));
    p.drawLine(QPointF(24, 116), QPointF(254, 116));
    Mark(p, QRectF(40, 136, 32, 32));
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(kGreenDeep);
    p.setFont(Face(24, true));
    p.drawText(QRect(80, 132, 190, 28), Qt::AlignVCenter | Qt::AlignLeft, "Tolvex Quarn");
    p.setPen(kGrey);
    p.setFont(Face(11));
    p.drawText(QRect(81, 158, 190, 14), Qt::AlignVCenter | Qt::AlignLeft,
               "network throughput console");
    p.end();
    Save(logo, "logo.png");
}

// Start/stop symbols on the keyed #9AB14B: play triangle and stop square in white discs.
void StartStop() {
    QImage strip = Blank(50, 25, kGreen);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 2; ++i) {
        const QPointF c(i * 25 + 12.5, 12.5);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(c, 11, 11);
        p.setBrush(i == 0 ? kGreenDark : QColor(0x8A, 0x92, 0x70));
        if (i == 0) {
            QPolygonF play({c + QPointF(-3.5, -6), c + QPointF(6.5, 0), c + QPointF(-3.5, 6)});
            p.drawPolygon(play);
        } else {
            p.drawRoundedRect(QRectF(c.x() - 5, c.y() - 5, 10, 10), 1.5, 1.5);
        }
    }
    p.end();
    Save(strip, "start_stop.png");
}

// "Add End Point" and "Search End Point" images, normal and hover, on keyed #FFFBFF.
void EndPointButtons() {
    const QColor key(0xFF, 0xFB, 0xFF);
    QImage strip = Blank(56, 14, key);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 4; ++i) {
        const bool hover = i % 2 == 1;
        const QRectF cell(i * 14 + 1, 1, 12, 12);
        const QColor fill = hover ? kGreenDark : kGreen;
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(cell, 2.5, 2.5);
        if (i < 2) {
            p.setBrush(Qt::white);
            p.drawRect(QRectF(cell.left() + 5, cell.top() + 2.5, 2, 7));
            p.drawRect(QRectF(cell.left() + 2.5, cell.top() + 5, 7, 2));
        } else {
            p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(cell.left() + 5, cell.top() + 5), 2.8, 2.8);
            p.drawLine(QPointF(cell.left() + 7.2, cell.top() + 7.2),
                       QPointF(cell.left() + 9.6, cell.top() + 9.6));
        }
    }
    p.end();
    Save(strip, "endpoint_buttons.png");
}

void PairIcons() {
    QImage add = Blank(10, 10);
    QImage del = Blank(10, 10);
    {
        QPainter p(&add);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(kGreenDeep);
        p.drawEllipse(QRectF(0, 0, 10, 10));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 2, 2, 6));
        p.drawRect(QRectF(2, 4, 6, 2));
    }
    {
        QPainter p(&del);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xA0, 0x3C, 0x28));
        p.drawEllipse(QRectF(0, 0, 10, 10));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2, 4, 6, 2));
    }
    Save(add, "add_pair.png");
    Save(del, "delete_pair.png");
}

// Solid squares of the series colours; the larger form has a one-pixel darker rim.
void Markers() {
    for (int k = 0; k < 17; ++k) {
        const QColor colour = QColor::fromRgba(kPalette[static_cast<std::size_t>(k)]);
        const QString name = k == 0 ? QString("all") : QString("%1").arg(k, 2, 10, QChar('0'));
        QImage small = Blank(6, 6, colour);
        Save(small, QString("marker_%1_6.png").arg(name));
        QImage large = Blank(8, 8, colour.darker(125));
        {
            QPainter p(&large);
            p.fillRect(1, 1, 6, 6, colour);
        }
        Save(large, QString("marker_%1_8.png").arg(name));
    }
}

// Parallel-stream badges: "x2" ... "x16" in white on a green pill, 15 x 9.
void Badges() {
    for (int n = 2; n <= 16; ++n) {
        QImage badge = Blank(15, 9);
        {
            QPainter p(&badge);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(kGreen);
            p.drawRoundedRect(QRectF(0, 0, 15, 9), 2.5, 2.5);
        }
        const QString text = QString("x%1").arg(n);
        PixelText(badge, (15 - PixelTextWidth(text)) / 2, 2, text, Qt::white);
        Save(badge, QString("badge_%1.png").arg(n, 2, 10, QChar('0')));
    }
}

// Notice icons: check, question, warning; green symbols on #FAFAFA (the panel).
void NoticeIcons() {
    QImage strip = Blank(78, 24, QColor(0xFA, 0xFA, 0xFA));
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // 0: check mark in a disc
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(13, 12), 10.5, 10.5);
    p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(8, 12.5), QPointF(11.5, 16), QPointF(18, 8.5)}));
    // 1: question mark in a disc
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(39, 12), 10.5, 10.5);
    p.setPen(Qt::white);
    p.setFont(Face(16, true));
    p.drawText(QRectF(26, 0, 26, 24), Qt::AlignCenter, "?");
    // 2: warning triangle
    QPainterPath triangle;
    triangle.moveTo(65, 2);
    triangle.lineTo(76, 22);
    triangle.lineTo(54, 22);
    triangle.closeSubpath();
    p.setPen(QPen(kGreenDark, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kGreen);
    p.drawPath(triangle);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(64, 8.5, 2.2, 7.5), 1, 1);
    p.drawEllipse(QPointF(65.1, 18.6), 1.3, 1.3);
    p.end();
    Save(strip, "notice_icons.png");
}

// Small two- and three-state images of the window chrome.
void Chrome() {
    // Caption buttons help, minimise, close: normal, hover, pressed (12 x 12 each).
    const char* names[] = {"caption_help.png", "caption_minimize.png", "caption_close.png"};
    for (int b = 0; b < 3; ++b) {
        QImage strip = Blank(36, 12);
        QPainter p(&strip);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        for (int s = 0; s < 3; ++s) {
            const QRectF cell(s * 12, 0, 12, 12);
            const QColor fill = s == 0 ? QColor(0xB5, 0xB5, 0xB5) : s == 1 ? kGreen : kGreenDark;
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawRoundedRect(cell.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
            p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap));
            if (b == 0) {
                p.setFont(Face(10, true));
                p.drawText(cell, Qt::AlignCenter, "?");
            } else if (b == 1) {
                p.drawLine(QPointF(cell.left() + 3.5, 8), QPointF(cell.left() + 8.5, 8));
            } else {
                p.drawLine(QPointF(cell.left() + 3.5, 3.5), QPointF(cell.left() + 8.5, 8.5));
                p.drawLine(QPointF(cell.left() + 8.5, 3.5), QPointF(cell.left() + 3.5, 8.5));
            }
        }
        p.end();
        Save(strip, names[b]);
    }
    // Small close button of the log and help windows: normal, hover.
    {
        QImage strip = Blank(24, 12);
        QPainter p(&strip);
        p.setRenderHint(QPainter::Antialiasing);
        for (int s = 0; s < 2; ++s) {
            p.setPen(Qt::NoPen);
            p.setBrush(s == 0 ? QColor(0xB5, 0xB5, 0xB5) : kGreen);
            p.drawRoundedRect(QRectF(s * 12 + 0.5, 0.5, 11, 11), 2, 2);
            p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s * 12 + 3.5, 3.5), QPointF(s * 12 + 8.5, 8.5));
            p.drawLine(QPointF(s * 12 + 8.5, 3.5), QPointF(s * 12 + 3.5, 8.5));
        }
        p.end();
        Save(strip, "close_small.png");
    }
    // File menu button (14 x 15): normal, hover.
    {
        QImage strip = Blank(28, 15);
        QPainter p(&strip);
        p.setRenderHint(QPainter::Antialiasing);
        for (int s = 0; s < 2; ++s) {
            const double x = s * 14;
            p.setPen(Qt::NoPen);
            p.setBrush(s == 0 ? QColor(0x8C, 0x8C, 0x8C) : kGreenDark);
            QPainterPath folder;
            folder.moveTo(x + 1, 3);
            folder.lineTo(x + 5, 3);
            folder.lineTo(x + 6.5, 4.5);
            folder.lineTo(x + 13, 4.5);
            folder.lineTo(x + 13, 13);
            folder.lineTo(x + 1, 13);
            folder.closeSubpath();
            p.drawPath(folder);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(x + 3, 7, 8, 1.2));
            p.drawRect(QRectF(x + 3, 9.5, 8, 1.2));
        }
        p.end();
        Save(strip, "file_menu.png");
    }
    // Aggregate ("All") curve toggle, 45 x 19: on, off.
    {
        QImage strip = Blank(90, 19);
        QPainter p(&strip);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        for (int s = 0; s < 2; ++s) {
            const double x = s * 45;
            const bool on = s == 0;
            p.setPen(Qt::NoPen);
            p.setBrush(on ? kGreen : QColor(0xD0, 0xD0, 0xD0));
            p.drawRoundedRect(QRectF(x + 0.5, 1.5, 44, 16), 8, 8);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(on ? x + 36 : x + 9, 9.5), 6, 6);
            p.setPen(on ? Qt::white : QColor(0x7B, 0x7B, 0x7B));
            p.setFont(Face(9, true));
            p.drawText(QRectF(on ? x + 4 : x + 17, 1, 24, 17), Qt::AlignCenter, on ? "ON" : "OFF");
        }
        p.end();
        Save(strip, "total_toggle.png");
    }
    // Arrow from End Point 1 to End Point 2 (pair setting: 10 x 9, keyed #E1E1E1).
    {
        QImage arrow = Blank(10, 9, QColor(0xE1, 0xE1, 0xE1));
        QPainter p(&arrow);
        p.setPen(Qt::NoPen);
        p.setBrush(kGreenDark);
        p.drawRect(0, 3, 5, 3);
        p.drawPolygon(QPolygon({QPoint(5, 0), QPoint(9, 4), QPoint(5, 8)}));
        p.end();
        Save(arrow, "arrow_small.png");
    }
    // Arrow of the EndPoint panel title, 40 x 11.
    {
        QImage arrow = Blank(40, 11);
        QPainter p(&arrow);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawRect(QRectF(0, 4, 33, 3));
        p.drawPolygon(QPolygonF({QPointF(31, 0), QPointF(40, 5.5), QPointF(31, 11)}));
        p.end();
        Save(arrow, "arrow_panel.png");
    }
    // Swap button of the pair setting dialog: two 20 x 20 (normal, hover), white keyed.
    {
        QImage strip = Blank(40, 20, Qt::white);
        QPainter p(&strip);
        p.setRenderHint(QPainter::Antialiasing);
        for (int s = 0; s < 2; ++s) {
            const QColor c = s == 0 ? kGreen : kGreenDark;
            const double x = s * 20;
            p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(x + 4, 4, 12, 12), 30 * 16, 150 * 16);
            p.drawArc(QRectF(x + 4, 4, 12, 12), 210 * 16, 150 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawPolygon(
                QPolygonF({QPointF(x + 14, 3), QPointF(x + 18.5, 7.5), QPointF(x + 13, 9)}));
            p.drawPolygon(
                QPolygonF({QPointF(x + 6, 17), QPointF(x + 1.5, 12.5), QPointF(x + 7, 11)}));
        }
        p.end();
        Save(strip, "swap.png");
    }
}

// Busy animation: twelve spokes, the bright one going round; frames for convert. The
// frames are opaque on #FDFDFD, between the two backgrounds it is shown on.
void BusyFrames(const QString& folder) {
    QDir().mkpath(folder);
    constexpr int kFrames = 12;
    for (int f = 0; f < kFrames; ++f) {
        QImage frame = Blank(21, 21, QColor(0xFD, 0xFD, 0xFD));
        QPainter p(&frame);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(10.5, 10.5);
        for (int s = 0; s < kFrames; ++s) {
            const int age = (f - s + kFrames) % kFrames;  // 0: the bright spoke
            const double t = 1.0 - age / static_cast<double>(kFrames);
            QColor c = kGreenDark;
            c.setRgbF(1.0 - t * (1.0 - c.redF()), 1.0 - t * (1.0 - c.greenF()),
                      1.0 - t * (1.0 - c.blueF()));
            p.save();
            p.rotate(s * 30.0);
            p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(0, -4.5), QPointF(0, -8.5));
            p.restore();
        }
        p.end();
        const QString path = QString("%1/busy_%2.png").arg(folder).arg(f, 2, 10, QChar('0'));
        if (!frame.save(path, "PNG")) {
            std::exit(1);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: artwork_generator <output folder> <frame folder>\n");
        return 2;
    }
    gOut = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(gOut);
    ProgramIcons();
    Titles();
    Logo();
    StartStop();
    EndPointButtons();
    PairIcons();
    Markers();
    Badges();
    NoticeIcons();
    Chrome();
    BusyFrames(QString::fromLocal8Bit(argv[2]));
    return 0;
}
