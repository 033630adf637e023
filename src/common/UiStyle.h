#pragma once

#include <QColor>
#include <QFont>

class QToolButton;

// The colours and fonts the program's screens share. Sizes are in device-independent pixels.
namespace vexhal::ui {

inline QColor teal() { return {0, 163, 122}; }
inline QColor blue() { return {52, 118, 255}; }
inline QColor red() { return {219, 44, 58}; }
inline QColor ink() { return {20, 20, 20}; }
inline QColor gray() { return {102, 102, 102}; }
inline QColor lightBorder() { return {224, 224, 224}; }
inline QColor paleFill() { return {244, 244, 244}; }
inline QColor separator() { return {238, 238, 238}; }
// Text colours that keep 4.5:1 against white and paleFill(): the accents as text, and the
// greys and accent of disabled controls.
inline QColor tealText() { return {0, 122, 92}; }
inline QColor blueText() { return {36, 99, 224}; }
inline QColor disabledText() { return {110, 110, 110}; }
inline QColor disabledTealText() { return {80, 125, 112}; }

// WCAG contrast ratio of two opaque colours (1 to 21), from their relative luminance.
double contrastRatio(const QColor& a, const QColor& b);

// Style sheet rules for vertical scroll bars on white: a grey thumb on a white track, without
// arrows. The platform's light thumb vanishes on white and its grey track reads as a thumb.
QString whiteScrollBarStyleSheet();

// The desktop's sans-serif font at a fixed pixel size, so layouts match across screens.
QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);

// Makes a header's tool button flat, tinted on hover and press, with a blue outline while it
// holds the focus (tool buttons take focus from the keyboard only); `text` colours its title.
void styleHeaderButton(QToolButton* button, const QColor& text = ink());

}  // namespace vexhal::ui
