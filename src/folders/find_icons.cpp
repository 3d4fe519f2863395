#include "folders/find_icons.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace folders {
namespace {

struct IconLook {
    const char* key;
    const char* mark;
    QRgb colour;
};

constexpr IconLook kLooks[] = {
    {"PATIENTS", "Pt", 0x2F6FB5},
    {"REFERRALS", "Rf", 0x3C8D5A},
    {"DOCTORS", "Dr", 0x7A4AA8},
    {"HOSPITALS", "H", 0xB53A3A},
    {"FEE_SCHEDULES", "$", 0x8C7A22},
    {"PROCEDURE_CODES", "Px", 0x2C8C8C},
    {"POS", "PS", 0x5E6A78},
    {"INSURANCE_CARRIERS", "In", 0xC0702A},
    {"DIAGNOSIS_CODES", "Dx", 0x9A3D78},
    {"MODIFIERS", "Md", 0x4F7F2F},
    {"TOS", "TS", 0x4A5FA8},
    {"CHARGE", "Ch", 0xA8553D},
    {"ZIP_CODES", "Zp", 0x3D7FA8},
    {"PAYMENT_COMMENTS", "PC", 0x6B8E23},
    {"CHARGE_COMMENTS", "CC", 0x8E5B23},
    {"APPT_REASON", "Ap", 0x23708E},
};

QPixmap Draw(const IconLook& look, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(look.colour));
    const qreal radius = size / 5.0;
    painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1.0, size - 1.0), radius, radius);
    QFont font("Sans Serif");
    font.setBold(true);
    font.setPixelSize(size * (std::char_traits<char>::length(look.mark) > 1 ? 9 : 12) / 20);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QString::fromLatin1(look.mark));
    return pixmap;
}

}  // namespace

QIcon FindIcon(const std::string& key) {
    for (const IconLook& look : kLooks) {
        if (key != look.key) continue;
        QIcon icon;
        for (const int size : {16, 32}) icon.addPixmap(Draw(look, size));
        return icon;
    }
    return {};
}

}  // namespace folders
