#pragma once
// The program's version: the ini's `[update] ver`, the banner, the title, the export
// signature, the update check and `--version` all show this text.
namespace quillbox::config {
inline constexpr const char* kVersion = "1.30";
}
