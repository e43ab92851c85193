#pragma once
// Accessibility of the controls that Qt knows nothing about: what screen
// readers and the desktop's accessibility bus see of them.
//
// SpinButtons: role SpinBox, value = position with minimum and maximum, and
// the actions increase ("next" arrow) and decrease ("previous" arrow), which
// step like a click. ImageControl and ShapeRect: role Graphic. TrackBar,
// EditField, SpeedButton and ScrollBox use Qt's own interfaces (slider
// value, line-edit text, button caption and checked state, scroll area).

namespace clipora {

// Installs the factory once; the controls call it from their constructors.
void installAccessibleFactory();

}  // namespace clipora
