#include "launcher/windows/WindowArt.h"

#include "platform/Twips.h"

#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

namespace WindowArt {

namespace {

QPixmap flower(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QPointF centre(size / 2.0, size / 2.0);
    const double petal = size * 0.22;
    painter.setBrush(QColor(0x7b, 0x4f, 0xb5));
    for (int i = 0; i < 5; ++i) {
        painter.save();
        painter.translate(centre);
        painter.rotate(i * 72.0);
        painter.drawEllipse(QPointF(0, -petal), petal * 0.75, petal * 1.1);
        painter.restore();
    }
    painter.setBrush(QColor(0xf2, 0xc9, 0x4c));
    painter.drawEllipse(centre, petal * 0.55, petal * 0.55);
    return pixmap;
}

} // namespace

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(flower(size));
    return icon;
}

QLabel* bannerPicture(QWidget* parent)
{
    const int width = Twips::toPixels(7200);
    const int height = Twips::toPixels(900);
    QPixmap pixmap(width, height);
    QPainter painter(&pixmap);
    QLinearGradient gradient(0, 0, width, 0);
    gradient.setColorAt(0, QColor(0x3d, 0x26, 0x6b));
    gradient.setColorAt(1, QColor(0x9a, 0x7b, 0xd1));
    painter.fillRect(pixmap.rect(), gradient);
    painter.drawPixmap(8, (height - 48) / 2, flower(48));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPointSize(18);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(pixmap.rect().adjusted(64, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Larkspur"));
    painter.end();
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("picBanner"));
    label->setPixmap(pixmap);
    label->setScaledContents(true);
    label->setMinimumHeight(height);
    label->setAccessibleName(QStringLiteral("Larkspur"));
    return label;
}

QLabel* sidePicture(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("Picture1"));
    label->setPixmap(flower(Twips::toPixels(1200)));
    return label;
}

QFrame* line(QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::HLine);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

} // namespace WindowArt
