// Draws Posewright's splash picture: make_posewright_splash OUT.png
// (run with QT_QPA_PLATFORM=offscreen; the result is committed as src/posewright/splash.png).

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

// One limb: a rounded bar from a to b.
void limb(QPainter& p, QPointF a, QPointF b, double width, const QColor& c)
{
    QPen pen(c, width, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(a, b);
    p.setPen(Qt::NoPen);
    p.setBrush(c.darker(140));
    p.drawEllipse(a, width * 0.42, width * 0.42);
    p.drawEllipse(b, width * 0.42, width * 0.42);
}

QPointF at(QPointF from, double length, double degrees)
{
    const double r = degrees * M_PI / 180.0;
    return from + QPointF(std::sin(r) * length, std::cos(r) * length);
}

// A kit humanoid in a stride, one arm raised: the pose an editor captures.
void robot(QPainter& p, QPointF hip, double s, const QColor& body, const QColor& joint)
{
    const QPointF neck = hip + QPointF(0, -70 * s);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(hip.x() - 30 * s, neck.y(), 60 * s, 78 * s), 10 * s, 10 * s);
    p.setBrush(body.lighter(115));
    p.drawRoundedRect(QRectF(neck.x() - 19 * s, neck.y() - 42 * s, 38 * s, 36 * s), 8 * s, 8 * s);
    p.setBrush(QColor(0, 230, 255));
    p.drawRoundedRect(QRectF(neck.x() - 13 * s, neck.y() - 32 * s, 26 * s, 9 * s), 4 * s, 4 * s);
    const QPointF ls = neck + QPointF(-38 * s, 10 * s), rs = neck + QPointF(38 * s, 10 * s);
    const QPointF le = at(ls, 42 * s, -150), lh = at(le, 40 * s, -175);
    const QPointF re = at(rs, 42 * s, 25), rh = at(re, 40 * s, -10);
    limb(p, ls, le, 17 * s, body);
    limb(p, le, lh, 15 * s, body);
    limb(p, rs, re, 17 * s, body);
    limb(p, re, rh, 15 * s, body);
    const QPointF lhip = hip + QPointF(-16 * s, 8 * s), rhip = hip + QPointF(16 * s, 8 * s);
    const QPointF lk = at(lhip, 48 * s, -18), la = at(lk, 46 * s, 4);
    const QPointF rk = at(rhip, 48 * s, 22), ra = at(rk, 46 * s, -8);
    limb(p, lhip, lk, 19 * s, body);
    limb(p, lk, la, 17 * s, body);
    limb(p, rhip, rk, 19 * s, body);
    limb(p, rk, ra, 17 * s, body);
    p.setBrush(body.darker(120));
    p.drawRoundedRect(QRectF(la.x() - 16 * s, la.y(), 32 * s, 9 * s), 3 * s, 3 * s);
    p.drawRoundedRect(QRectF(ra.x() - 16 * s, ra.y(), 32 * s, 9 * s), 3 * s, 3 * s);
    p.setBrush(joint);
    for (QPointF j : {ls, rs, le, re, lhip, rhip, lk, rk})
        p.drawEllipse(j, 5 * s, 5 * s);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_posewright_splash OUT.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QImage image(640, 480, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 480);
    sky.setColorAt(0, QColor(14, 28, 52));
    sky.setColorAt(1, QColor(34, 66, 104));
    p.fillRect(image.rect(), sky);

    // A floor grid in perspective.
    p.setPen(QPen(QColor(80, 130, 180, 90), 1));
    const double horizon = 300, vanishX = 450;
    for (int i = -12; i <= 12; ++i)
        p.drawLine(QPointF(vanishX, horizon), QPointF(vanishX + i * 90, 480));
    for (int k = 1; k <= 8; ++k) {
        const double y = horizon + 180 * (k * k) / 64.0;
        p.drawLine(QPointF(0, y), QPointF(640, y));
    }
    QRadialGradient glow(QPointF(450, 300), 200);
    glow.setColorAt(0, QColor(0, 200, 255, 70));
    glow.setColorAt(1, QColor(0, 200, 255, 0));
    p.fillRect(image.rect(), glow);

    // Seven small pose frames, as on the editor's pose row.
    for (int k = 0; k < 7; ++k) {
        const QRectF frame(28 + k * 42, 228, 36, 44);
        p.setPen(QPen(QColor(150, 190, 230, 160), 1.2));
        p.setBrush(QColor(89, 135, 179, k == 3 ? 200 : 90));
        p.drawRoundedRect(frame, 3, 3);
        robot(p, frame.center() + QPointF(0, 4), 0.11, QColor(235, 240, 250), QColor(255, 200, 40));
    }

    robot(p, QPointF(480, 250), 1.05, QColor(228, 234, 244), QColor(255, 196, 32));

    p.setPen(QColor(255, 255, 255));
    QFont title("DejaVu Sans");
    title.setPixelSize(58);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRectF(28, 60, 400, 80), Qt::AlignLeft | Qt::AlignVCenter, "Posewright");
    QFont sub("DejaVu Sans");
    sub.setPixelSize(18);
    p.setFont(sub);
    p.setPen(QColor(170, 215, 255));
    p.drawText(QRectF(32, 136, 400, 30), Qt::AlignLeft | Qt::AlignVCenter, "Motion page editor");
    p.drawText(QRectF(32, 162, 400, 30), Qt::AlignLeft | Qt::AlignVCenter, "for the Tessaban robot kit");
    p.setPen(QPen(QColor(0, 255, 255), 2));
    p.drawLine(QPointF(32, 200), QPointF(320, 200));
    p.end();
    return image.save(argv[1]) ? 0 : 1;
}
