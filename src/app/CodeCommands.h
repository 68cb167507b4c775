#pragma once
// The commands that turn the user's code into something else: export of the project,
// the E call wrapper and the E constant image on the clipboard, and the expression of a
// tree node put into the function box. Compress and format run beside the engines
// (EngineCommands::transform).

namespace quillbox::app {

class MainWindow;

void exportCommand(MainWindow& window);
void callWrapperCommand(MainWindow& window);
void constantCommand(MainWindow& window);
void copyExpressionCommand(MainWindow& window);

}  // namespace quillbox::app
