#pragma once
// "转换为旧引擎代码" on a module or a project node: the conversion runs where the engines live,
// and its result is written as new modules or a new project, with the report in the output box.
namespace quillbox::app {

class MainWindow;

void convertForOldEngineCommand(MainWindow& window);

}  // namespace quillbox::app
