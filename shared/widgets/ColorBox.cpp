#include "shared/widgets/ColorBox.h"

#include "shared/core/Colors.h"

#include <QColorDialog>
#include <QPixmap>

namespace {

struct TNamedColor {
    TColor Color;
    const char* Name;
};

// The standard sixteen, then the extended four.
constexpr TNamedColor NamedColors[] = {
    {clBlack, "Black"},       {clMaroon, "Maroon"}, {clGreen, "Green"},     {clOlive, "Olive"},
    {clNavy, "Navy"},         {clPurple, "Purple"}, {clTeal, "Teal"},       {clGray, "Gray"},
    {clSilver, "Silver"},     {clRed, "Red"},       {clLime, "Lime"},       {clYellow, "Yellow"},
    {clBlue, "Blue"},         {clFuchsia, "Fuchsia"}, {clAqua, "Aqua"},     {clWhite, "White"},
    {0xC0DCC0, "Money Green"}, {0xF0CAA6, "Sky Blue"}, {0xF0FBFF, "Cream"}, {0xA4A0A0, "Medium Gray"},
};

QIcon Swatch(TColor color)
{
    QPixmap pixmap(16, 12);
    pixmap.fill(QColor::fromRgb(ColorToArgb(color)));
    return QIcon(pixmap);
}

QString UnlistedName(TColor color)
{
    if (IsSystemColor(color))
        return QStringLiteral("System colour %1").arg(color & 0xFF);
    return QStringLiteral("#%1").arg(QColor::fromRgb(ColorToArgb(color)).name().mid(1).toUpper());
}

} // namespace

TColorBox::TColorBox(QWidget* parent) : QComboBox(parent)
{
    FInternal = true;
    addItem(QStringLiteral("Custom..."));
    for (const TNamedColor& named : NamedColors)
        addItem(Swatch(named.Color), QString::fromLatin1(named.Name), QVariant(named.Color));
    FInternal = false;
    Show(clBlack);
    PickCustomColor = [this](TColor current) -> std::optional<TColor> {
        const QColor chosen = QColorDialog::getColor(QColor::fromRgb(ColorToArgb(current)), this);
        if (!chosen.isValid())
            return std::nullopt;
        return ArgbToColor(chosen.rgb());
    };
    connect(this, &QComboBox::currentIndexChanged, this, &TColorBox::IndexChanged);
}

void TColorBox::SetSelected(TColor color)
{
    FValue = color;
    Show(color);
}

int TColorBox::FindColor(TColor color) const
{
    for (int i = CustomIndex + 1; i < count(); ++i)
        if (itemData(i).toInt() == color)
            return i;
    return -1;
}

void TColorBox::Show(TColor color)
{
    FInternal = true;
    FValue = color;
    int index = FindColor(color);
    if (index < 0) {
        if (FExtraIndex < 0) {
            addItem(QString());
            FExtraIndex = count() - 1;
        }
        setItemIcon(FExtraIndex, Swatch(color));
        setItemText(FExtraIndex, UnlistedName(color));
        setItemData(FExtraIndex, QVariant(color));
        index = FExtraIndex;
    }
    setCurrentIndex(index);
    FInternal = false;
}

void TColorBox::IndexChanged(int index)
{
    if (FInternal || index < 0)
        return;
    const TColor old = FValue;
    if (index == CustomIndex) {
        const std::optional<TColor> chosen = PickCustomColor ? PickCustomColor(old) : std::nullopt;
        Show(chosen.value_or(old));
    } else {
        FValue = itemData(index).toInt();
    }
    if (FValue != old)
        Q_EMIT ColorChanged(FValue);
}
