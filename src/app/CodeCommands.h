#pragma once
// The commands that turn the user's code into something else: export of the project,
// the E call wrapper and the E constant image on the clipboard, compress and format of
// the page, and the expression of a tree node put into the function box.
#include "core/transform/Transform.h"

namespace quillbox::app {

class MainWindow;

void exportCommand(MainWindow& window);
void callWrapperCommand(MainWindow& window);
void constantCommand(MainWindow& window);
void transformCommand(MainWindow& window, transform::Mode mode);
void copyExpressionCommand(MainWindow& window);

}  // namespace quillbox::app
