#pragma once
// The colour chooser: the standard colour dialog, run modally, that keeps its
// colour between runs and opens on it (the colour last chosen, black at
// first).
//
// Tests answer it without a person: with setColorDialogAnswerer() set,
// execute() calls the answerer with the colour the dialog would open on and
// takes its answer (nothing: cancelled) instead of showing a dialog.

#include <functional>
#include <optional>

#include <QColor>
#include <QObject>

class QWidget;

namespace clipora {

using ColorDialogAnswerer = std::function<std::optional<QColor>(const QColor& current)>;
// Sets the answerer (empty: the real dialog); returns the previous one.
ColorDialogAnswerer setColorDialogAnswerer(ColorDialogAnswerer answerer);

class ColorDialog : public QObject {
    Q_OBJECT
public:
    explicit ColorDialog(QWidget* parent = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor& color) { color_ = color; }

    // Runs the dialog on color(). On OK: true, and color() is the chosen
    // colour (always opaque). On cancel: false, nothing changes.
    bool execute();

private:
    QWidget* parent_;
    QColor color_ = Qt::black;
};

}  // namespace clipora
