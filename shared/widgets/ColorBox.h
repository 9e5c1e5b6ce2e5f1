#pragma once
// A drop-down list of named colours with a swatch each, and a "Custom..." entry that asks for
// any other colour. Its value is a TColor ($00BBGGRR). A value that the list does not hold
// (a custom colour, a system colour reference) gets an entry of its own, so whatever the box
// was given it gives back unchanged.

#include "shared/core/NullableColor.h"

#include <QComboBox>

#include <functional>
#include <optional>

class TColorBox : public QComboBox {
    Q_OBJECT
public:
    explicit TColorBox(QWidget* parent = nullptr);

    TColor Selected() const { return FValue; }
    // Shows the colour without emitting ColorChanged.
    void SetSelected(TColor color);

    // Asked when the user picks "Custom...", with the current colour; empty when cancelled.
    // Defaults to the platform's colour dialog.
    std::function<std::optional<TColor>(TColor current)> PickCustomColor;

    static constexpr int CustomIndex = 0;

Q_SIGNALS:
    // The user chose a different colour.
    void ColorChanged(TColor color);

private:
    void IndexChanged(int index);
    void Show(TColor color);
    int FindColor(TColor color) const;

    TColor FValue = 0;
    bool FInternal = false;
    // The entry of a colour that is not in the named list; -1 while there is none.
    int FExtraIndex = -1;
};
