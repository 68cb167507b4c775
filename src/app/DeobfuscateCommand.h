#pragma once
// "解混淆" on a module node: the deobfuscation runs where the engines live (in the tools context
// and fresh sandbox engines, never the user's engines), its result is written as a new module
// beside the original, with the report and the expression box's check in the output box.
namespace quillbox::app {

class MainWindow;

void deobfuscateCommand(MainWindow& window);

}  // namespace quillbox::app
