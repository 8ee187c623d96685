#include "programmer/CatalogueIcons.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

namespace programmer {

namespace {

enum class Glyph {
    Servo,
    Sensor,
    Controller,
    ButtonPad,
    Remote,
    Power,
    Bulb,
    ArcCw,
    ArcCcw,
    SlopeCw,
    SlopeCcw,
    Target,
    Gauge,
    Torque,
    Dial,
    Weight,
    Bolt,
    Thermometer,
    Flag,
    Eye,
    Sun,
    Wall,
    Wave,
    Speaker,
    Play,
    Clock,
    Robot,
    Paper,
};

enum class Tile { None, Servo, Sensor, Controller };

struct IconSpec {
    Tile tile;
    Glyph glyph;
    const char* mark; // a small text in the lower right corner, or nullptr
};

// One picture per catalogue entry 0..50.
constexpr std::array<IconSpec, CatalogueIconCount> Specs = {{
    {Tile::None, Glyph::Servo, nullptr},           // 0 Joyntra
    {Tile::None, Glyph::Sensor, nullptr},          // 1 Sensor
    {Tile::None, Glyph::Controller, nullptr},      // 2 KZ-7
    {Tile::None, Glyph::ButtonPad, nullptr},       // 3 KZ-7 Button
    {Tile::None, Glyph::Remote, nullptr},          // 4 Remocon
    {Tile::Servo, Glyph::Power, nullptr},          // 5 Turn on/off
    {Tile::Servo, Glyph::Bulb, nullptr},           // 6 LED
    {Tile::Servo, Glyph::ArcCw, nullptr},          // 7 CW margin
    {Tile::Servo, Glyph::ArcCcw, nullptr},         // 8 CCW margin
    {Tile::Servo, Glyph::SlopeCw, nullptr},        // 9 CW Slope
    {Tile::Servo, Glyph::SlopeCcw, nullptr},       // 10 CCW Slope
    {Tile::Servo, Glyph::Target, nullptr},         // 11 Goal position
    {Tile::Servo, Glyph::Gauge, nullptr},          // 12 Moving speed
    {Tile::Servo, Glyph::Torque, nullptr},         // 13 MAX torque
    {Tile::Servo, Glyph::Dial, nullptr},           // 14 Present position
    {Tile::Servo, Glyph::Gauge, "P"},              // 15 Present speed
    {Tile::Servo, Glyph::Weight, nullptr},         // 16 Present load
    {Tile::Servo, Glyph::Bolt, nullptr},           // 17 Input voltage
    {Tile::Servo, Glyph::Thermometer, nullptr},    // 18 Internal temperature
    {Tile::Servo, Glyph::Flag, nullptr},           // 19 Moving flag
    {Tile::Sensor, Glyph::Eye, "L"},               // 20 Left IR sensor data
    {Tile::Sensor, Glyph::Eye, "C"},               // 21 Center IR
    {Tile::Sensor, Glyph::Eye, "R"},               // 22 Right IR
    {Tile::Sensor, Glyph::Sun, "L"},               // 23 Left luminosity
    {Tile::Sensor, Glyph::Sun, "C"},               // 24 Center luminosity
    {Tile::Sensor, Glyph::Sun, "R"},               // 25 Right luminosity
    {Tile::Sensor, Glyph::Wall, "!"},              // 26 Obstacle detection flag
    {Tile::Sensor, Glyph::Sun, "!"},               // 27 Luminosity detection flag
    {Tile::Sensor, Glyph::Wave, nullptr},          // 28 Sound data
    {Tile::Sensor, Glyph::Wave, "M"},              // 29 Sound data max hold
    {Tile::Sensor, Glyph::Wave, "#"},              // 30 Sound detected count
    {Tile::Sensor, Glyph::Clock, "S"},             // 31 Sound detected time
    {Tile::Sensor, Glyph::Speaker, "#"},           // 32 Buzzer index
    {Tile::Sensor, Glyph::Speaker, "T"},           // 33 Buzzer time
    {Tile::Sensor, Glyph::Remote, "?"},            // 34 IR remocon arrived
    {Tile::Sensor, Glyph::Remote, "RX"},           // 35 IR remocon RX data
    {Tile::Sensor, Glyph::Remote, "TX"},           // 36 IR remocon TX data
    {Tile::Sensor, Glyph::Wall, "<>"},             // 37 Obstacle detected compare
    {Tile::Sensor, Glyph::Sun, "<>"},              // 38 Light detected compare
    {Tile::Controller, Glyph::Play, nullptr},      // 39 Motion play page
    {Tile::Controller, Glyph::Play, "?"},          // 40 Motion play status
    {Tile::Controller, Glyph::Remote, "TX"},       // 41 TX remocon data
    {Tile::Controller, Glyph::Remote, "RX"},       // 42 RX remocon data
    {Tile::Controller, Glyph::Remote, "?"},        // 43 RX remocon data arrived
    {Tile::Controller, Glyph::Bulb, "A"},          // 44 AUX LED
    {Tile::Controller, Glyph::ButtonPad, nullptr}, // 45 Button
    {Tile::Controller, Glyph::Clock, nullptr},     // 46 Timer
    {Tile::Controller, Glyph::Robot, "?"},         // 47 Other robot ID
    {Tile::Controller, Glyph::Robot, "ID"},        // 48 My robot ID
    {Tile::Controller, Glyph::Paper, nullptr},     // 49 Print
    {Tile::Controller, Glyph::Paper, "LF"},        // 50 Print with line feed
}};

const QColor Ink(255, 255, 255);
const QColor Outline(30, 30, 40);

QColor tileColour(Tile t)
{
    switch (t) {
    case Tile::Servo:
        return {38, 92, 190};
    case Tile::Sensor:
        return {28, 140, 76};
    case Tile::Controller:
        return {226, 118, 18};
    default:
        return {};
    }
}

void arrowHead(QPainter& p, QPointF tip, double angle, double size)
{
    QPolygonF head;
    head << tip << tip + QPointF(std::cos(angle + 2.6) * size, std::sin(angle + 2.6) * size)
         << tip + QPointF(std::cos(angle - 2.6) * size, std::sin(angle - 2.6) * size);
    p.setBrush(p.pen().color());
    p.drawPolygon(head);
    p.setBrush(Qt::NoBrush);
}

void drawServo(QPainter& p)
{
    p.setPen(QPen(Outline, 1.5));
    p.setBrush(QColor(52, 110, 210));
    p.drawRoundedRect(QRectF(4, 9, 24, 19), 3, 3);
    p.setBrush(QColor(235, 235, 240));
    p.drawEllipse(QPointF(12, 10), 6.5, 6.5);
    p.setPen(QPen(Outline, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 10), QPointF(19, 10));
    p.setBrush(Outline);
    p.drawEllipse(QPointF(12, 10), 1.6, 1.6);
}

void drawSensor(QPainter& p)
{
    p.setPen(QPen(Outline, 1.5));
    p.setBrush(QColor(40, 160, 90));
    p.drawRoundedRect(QRectF(3, 8, 26, 18), 4, 4);
    for (double x : {10.5, 21.5}) {
        p.setBrush(QColor(240, 240, 240));
        p.drawEllipse(QPointF(x, 17), 5, 5);
        p.setBrush(QColor(200, 20, 20));
        p.drawEllipse(QPointF(x, 17), 2.2, 2.2);
    }
}

void drawController(QPainter& p)
{
    p.setPen(QPen(Outline, 1.5));
    p.setBrush(QColor(240, 130, 30));
    p.drawRoundedRect(QRectF(3, 3, 26, 26), 4, 4);
    p.setBrush(QColor(40, 50, 60));
    p.drawRect(QRectF(7, 7, 18, 8));
    p.setPen(QPen(QColor(120, 255, 140), 1));
    p.drawLine(QPointF(9, 11), QPointF(20, 11));
    p.setPen(QPen(Outline, 1));
    p.setBrush(QColor(250, 250, 250));
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(8.5 + i * 5, 22), 2, 2);
}

void drawButtonPad(QPainter& p, bool onTile)
{
    const QColor body = onTile ? Ink : QColor(70, 70, 80);
    p.setPen(QPen(onTile ? QColor(0, 0, 0, 0) : Outline, 1));
    p.setBrush(body);
    p.drawRect(QRectF(12, 4, 8, 24));
    p.drawRect(QRectF(4, 12, 24, 8));
    p.setBrush(onTile ? tileColour(Tile::Controller) : QColor(200, 200, 210));
    p.drawEllipse(QPointF(16, 16), 2.5, 2.5);
}

void drawRemote(QPainter& p, bool onTile)
{
    p.setPen(QPen(onTile ? Ink : Outline, 1.5));
    p.setBrush(onTile ? QColor(255, 255, 255, 60) : QColor(60, 60, 70));
    p.drawRoundedRect(QRectF(10, 6, 12, 22), 3, 3);
    p.setBrush(QColor(230, 40, 40));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(16, 10), 2, 2);
    p.setBrush(onTile ? Ink : QColor(220, 220, 230));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            p.drawEllipse(QPointF(13.5 + c * 5, 16 + r * 5), 1.5, 1.5);
    p.setPen(QPen(onTile ? Ink : QColor(230, 40, 40), 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(12, 0, 8, 6), 30 * 16, 120 * 16);
}

void drawGlyph(QPainter& p, Glyph g)
{
    QPen pen(Ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (g) {
    case Glyph::Servo:
        drawServo(p);
        break;
    case Glyph::Sensor:
        drawSensor(p);
        break;
    case Glyph::Controller:
        drawController(p);
        break;
    case Glyph::ButtonPad:
        drawButtonPad(p, true);
        break;
    case Glyph::Remote:
        drawRemote(p, true);
        break;
    case Glyph::Power:
        p.drawArc(QRectF(7, 8, 16, 16), 120 * 16, 300 * 16);
        p.drawLine(QPointF(15, 5), QPointF(15, 15));
        break;
    case Glyph::Bulb:
        p.setBrush(QColor(255, 236, 90));
        p.drawEllipse(QRectF(8, 4, 14, 14));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(12, 20), QPointF(18, 20));
        p.drawLine(QPointF(12, 24), QPointF(18, 24));
        break;
    case Glyph::ArcCw:
    case Glyph::ArcCcw: {
        const bool cw = g == Glyph::ArcCw;
        p.drawArc(QRectF(6, 6, 20, 20), 200 * 16, cw ? -220 * 16 : 220 * 16);
        p.drawLine(QPointF(16, 16), QPointF(cw ? 24 : 8, 10));
        arrowHead(p, cw ? QPointF(24.5, 21) : QPointF(7.5, 21), cw ? 1.9 : 1.2, 5);
        break;
    }
    case Glyph::SlopeCw:
    case Glyph::SlopeCcw: {
        const bool cw = g == Glyph::SlopeCw;
        p.drawLine(QPointF(4, 24), QPointF(28, 24));
        p.drawLine(QPointF(cw ? 6 : 26, 24), QPointF(cw ? 24 : 8, 7));
        arrowHead(p, QPointF(cw ? 24 : 8, 7), cw ? -0.75 : -2.4, 5);
        break;
    }
    case Glyph::Target:
        p.drawEllipse(QPointF(16, 16), 10, 10);
        p.drawEllipse(QPointF(16, 16), 5, 5);
        p.setBrush(Ink);
        p.drawEllipse(QPointF(16, 16), 1.5, 1.5);
        break;
    case Glyph::Gauge:
        p.drawArc(QRectF(5, 7, 22, 22), 0, 180 * 16);
        p.drawLine(QPointF(16, 18), QPointF(23, 10));
        p.setBrush(Ink);
        p.drawEllipse(QPointF(16, 18), 2, 2);
        break;
    case Glyph::Torque:
        p.drawArc(QRectF(6, 6, 20, 20), 30 * 16, 280 * 16);
        arrowHead(p, QPointF(24.5, 11), -1.2, 5);
        p.setFont(QFont("Sans", 9, QFont::Bold));
        p.drawText(QRectF(6, 6, 20, 20), Qt::AlignCenter, "T");
        break;
    case Glyph::Dial:
        p.drawEllipse(QPointF(16, 16), 11, 11);
        p.drawLine(QPointF(16, 16), QPointF(22, 9));
        for (int i = 0; i < 8; ++i) {
            const double a = i * M_PI / 4;
            p.drawPoint(QPointF(16 + 8 * std::cos(a), 16 + 8 * std::sin(a)));
        }
        break;
    case Glyph::Weight: {
        QPolygonF w;
        w << QPointF(9, 12) << QPointF(23, 12) << QPointF(27, 27) << QPointF(5, 27);
        p.setBrush(QColor(255, 255, 255, 70));
        p.drawPolygon(w);
        p.drawEllipse(QPointF(16, 8), 3, 3);
        break;
    }
    case Glyph::Bolt: {
        QPolygonF b;
        b << QPointF(18, 3) << QPointF(8, 18) << QPointF(15, 18) << QPointF(12, 29) << QPointF(24, 13)
          << QPointF(17, 13);
        p.setBrush(QColor(255, 230, 60));
        p.setPen(QPen(Outline, 1));
        p.drawPolygon(b);
        break;
    }
    case Glyph::Thermometer:
        p.drawRoundedRect(QRectF(13, 4, 6, 18), 3, 3);
        p.setBrush(QColor(235, 50, 40));
        p.drawEllipse(QPointF(16, 24), 5, 5);
        p.setPen(QPen(QColor(235, 50, 40), 2.5));
        p.drawLine(QPointF(16, 21), QPointF(16, 11));
        break;
    case Glyph::Flag:
        p.drawLine(QPointF(9, 5), QPointF(9, 28));
        p.setBrush(QColor(255, 255, 255, 120));
        p.drawPolygon(QPolygonF() << QPointF(9, 6) << QPointF(25, 10) << QPointF(9, 16));
        break;
    case Glyph::Eye:
        p.drawEllipse(QRectF(4, 10, 16, 12));
        p.setBrush(Ink);
        p.drawEllipse(QPointF(12, 16), 3, 3);
        p.setPen(QPen(QColor(255, 120, 120), 1.8, Qt::DashLine));
        p.drawLine(QPointF(21, 13), QPointF(28, 9));
        p.drawLine(QPointF(21, 19), QPointF(28, 23));
        break;
    case Glyph::Sun:
        p.setBrush(QColor(255, 230, 70));
        p.drawEllipse(QPointF(14, 14), 5, 5);
        for (int i = 0; i < 8; ++i) {
            const double a = i * M_PI / 4;
            p.drawLine(QPointF(14 + 8 * std::cos(a), 14 + 8 * std::sin(a)),
                       QPointF(14 + 11 * std::cos(a), 14 + 11 * std::sin(a)));
        }
        break;
    case Glyph::Wall:
        p.setPen(QPen(Ink, 1.5));
        for (int r = 0; r < 3; ++r) {
            const double y = 6 + r * 7;
            p.drawRect(QRectF(r % 2 ? 4 : 8, y, 8, 6));
            p.drawRect(QRectF(r % 2 ? 12 : 16, y, 8, 6));
        }
        break;
    case Glyph::Wave: {
        QPainterPath path(QPointF(3, 16));
        for (int i = 0; i < 6; ++i)
            path.quadTo(QPointF(5.5 + i * 4.5, i % 2 ? 26 : 6), QPointF(7.5 + i * 4.5, 16));
        p.drawPath(path);
        break;
    }
    case Glyph::Speaker:
        p.setBrush(Ink);
        p.drawPolygon(QPolygonF() << QPointF(5, 12) << QPointF(10, 12) << QPointF(16, 6) << QPointF(16, 26)
                                  << QPointF(10, 20) << QPointF(5, 20));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(14, 10, 8, 12), -60 * 16, 120 * 16);
        p.drawArc(QRectF(14, 5, 14, 22), -60 * 16, 120 * 16);
        break;
    case Glyph::Play:
        p.setBrush(Ink);
        p.drawPolygon(QPolygonF() << QPointF(10, 6) << QPointF(25, 16) << QPointF(10, 26));
        break;
    case Glyph::Clock:
        p.drawEllipse(QPointF(15, 16), 11, 11);
        p.drawLine(QPointF(15, 16), QPointF(15, 9));
        p.drawLine(QPointF(15, 16), QPointF(20, 19));
        break;
    case Glyph::Robot:
        p.drawRoundedRect(QRectF(6, 8, 18, 15), 3, 3);
        p.drawLine(QPointF(15, 8), QPointF(15, 4));
        p.setBrush(Ink);
        p.drawEllipse(QPointF(11, 15), 2, 2);
        p.drawEllipse(QPointF(19, 15), 2, 2);
        break;
    case Glyph::Paper:
        p.setBrush(QColor(255, 255, 255, 230));
        p.setPen(QPen(Outline, 1));
        p.drawRect(QRectF(8, 4, 16, 22));
        p.setPen(QPen(QColor(90, 90, 90), 1.5));
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(11, 9 + i * 4), QPointF(21, 9 + i * 4));
        break;
    }
}

QPixmap drawIcon(int entry)
{
    const IconSpec& look = Specs[static_cast<size_t>(entry)];
    QPixmap pm(IconSize, IconSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (look.tile != Tile::None) {
        p.setPen(QPen(tileColour(look.tile).darker(150), 1));
        p.setBrush(tileColour(look.tile));
        p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);
    }
    if (look.tile == Tile::None && look.glyph == Glyph::ButtonPad)
        drawButtonPad(p, false);
    else if (look.tile == Tile::None && look.glyph == Glyph::Remote)
        drawRemote(p, false);
    else
        drawGlyph(p, look.glyph);
    if (look.mark) {
        QFont f("Sans");
        f.setPixelSize(strlen(look.mark) > 1 ? 9 : 11);
        f.setBold(true);
        p.setFont(f);
        const QRectF box(16, 19, 16, 13);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 150));
        p.drawRoundedRect(box.adjusted(1, 0, 0, 0), 3, 3);
        p.setPen(Ink);
        p.drawText(box, Qt::AlignCenter, look.mark);
    }
    return pm;
}

} // namespace

const QPixmap& cataloguePixmap(int entry)
{
    static const std::array<QPixmap, CatalogueIconCount> pictures = [] {
        std::array<QPixmap, CatalogueIconCount> all;
        for (int i = 0; i < CatalogueIconCount; ++i)
            all[static_cast<size_t>(i)] = drawIcon(i);
        return all;
    }();
    static const QPixmap none;
    if (entry < 0 || entry >= CatalogueIconCount)
        return none;
    return pictures[static_cast<size_t>(entry)];
}

QIcon catalogueIcon(int entry)
{
    const QPixmap& pm = cataloguePixmap(entry);
    return pm.isNull() ? QIcon() : QIcon(pm);
}

QIcon toolbarIcon(const QString& name)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 50), 1.2));
    if (name == "new" || name == "save" || name == "open") {
        if (name == "open") {
            p.setBrush(QColor(240, 200, 80));
            p.drawPolygon(QPolygonF() << QPointF(1, 4) << QPointF(6, 4) << QPointF(7, 6) << QPointF(15, 6)
                                      << QPointF(15, 14) << QPointF(1, 14));
        } else if (name == "save") {
            p.setBrush(QColor(60, 90, 180));
            p.drawRect(QRectF(1.5, 1.5, 13, 13));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4, 2, 8, 5));
            p.drawRect(QRectF(4, 10, 8, 4));
        } else {
            p.setBrush(Qt::white);
            p.drawPolygon(QPolygonF() << QPointF(3, 1) << QPointF(10, 1) << QPointF(13, 4) << QPointF(13, 15)
                                      << QPointF(3, 15));
        }
    } else if (name == "cut") {
        p.drawLine(QPointF(4, 1), QPointF(11, 10));
        p.drawLine(QPointF(12, 1), QPointF(5, 10));
        p.drawEllipse(QPointF(4, 12), 2.5, 2.5);
        p.drawEllipse(QPointF(12, 12), 2.5, 2.5);
    } else if (name == "copy") {
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 8, 10));
        p.drawRect(QRectF(6.5, 4.5, 8, 10));
    } else if (name == "paste") {
        p.setBrush(QColor(190, 140, 80));
        p.drawRect(QRectF(2.5, 2.5, 10, 12));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 6.5, 8, 8));
    } else if (name == "undo" || name == "redo") {
        // A curved arrow, turning back (undo) or forward (redo).
        const bool back = name == "undo";
        p.setPen(QPen(QColor(40, 70, 160), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath arc;
        arc.moveTo(back ? 4 : 12, 6);
        arc.cubicTo(back ? 10 : 6, 2, back ? 16 : 0, 8, back ? 9 : 7, 13);
        p.drawPath(arc);
        p.drawPolyline(QPolygonF() << QPointF(back ? 4 : 12, 2) << QPointF(back ? 4 : 12, 6.5)
                                   << QPointF(back ? 8.5 : 7.5, 6.5));
    } else if (name == "checkRule") {
        p.setPen(QPen(QColor(20, 150, 40), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF() << QPointF(2, 8) << QPointF(6, 13) << QPointF(14, 3));
    } else if (name == "downloadPlay") {
        p.setBrush(QColor(226, 118, 18));
        p.drawRect(QRectF(1.5, 9.5, 13, 5));
        p.setPen(QPen(QColor(40, 40, 50), 2));
        p.drawLine(QPointF(8, 1), QPointF(8, 8));
        p.drawLine(QPointF(5, 5), QPointF(8, 8));
        p.drawLine(QPointF(11, 5), QPointF(8, 8));
    } else if (name == "about") {
        p.setBrush(QColor(60, 110, 200));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(Qt::white);
        QFont f("Sans");
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, "?");
    }
    return QIcon(pm);
}

} // namespace programmer
