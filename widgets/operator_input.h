#pragma once

class QWidget;

// Makes the controls of a window answer only deliberate input: the wheel
// changes a spin box or combo box only once the operator has chosen it (by a
// click or Tab), since on a live instrument a turned value or source goes out
// at once or with the next Run; and Return or Enter press the focused push
// button, as Space does, never the default button of a dialog instead.
// Applies to the controls the window holds when it is called.
void guardOperatorInput(QWidget *window);
