#pragma once
// The panels of the main window's status bar: each shows its text on one line, cut short with an
// ellipsis when the panel is narrower than the text, so a hint with line breaks never makes the
// bar taller and panels squeezed by a narrow window never draw over each other.

#include <QLabel>

class TStatusPanelLabel : public QLabel {
public:
    TStatusPanelLabel(const QString& text, QWidget* parent);

    // The text as shown: line breaks and tabs become spaces.
    QString ShownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Gives the three payoff panels their text width + 8 pixels each when the window is wide enough
// for them beside the hint panel's least width; otherwise shares out what there is in proportion,
// each keeping at least a few characters.
void FitPayoffPanels(QLabel* const panels[4], int windowWidth);
