#pragma once
// The etched rule with an embossed caption at the bottom of a dialog. Only the rule and the
// caption at its top are painted; the rest of its 60 pixels shows the parent's background.
// The dialog's layout puts it at the bottom.

#include <QString>
#include <QWidget>

class TBottomLine : public QWidget {
    Q_OBJECT
public:
    static constexpr int FixedHeight = 60;
    // The caption's left edge and the space left free on either side of it.
    static constexpr int TitleLeft = 16;
    static constexpr int TitleGap = 4;

    explicit TBottomLine(QWidget* parent = nullptr);

    const QString& Title() const { return FTitle; }
    void SetTitle(const QString& title);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString FTitle;
};
