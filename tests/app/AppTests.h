#pragma once
// Registration of the Qt Test classes, and helpers they share.
#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillbox::apptest {

std::vector<std::function<std::unique_ptr<QObject>()>>& registry();

template <typename T>
struct Register {
    Register() { registry().push_back([] { return std::make_unique<T>(); }); }
};

// A directory emptied for one test.
std::string freshDir(const std::string& name);
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

}  // namespace quillbox::apptest
