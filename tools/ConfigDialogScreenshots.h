#pragma once

#include <functional>
#include <string>

class QWidget;

// Renders the configuration dialogs with sample data, each through `save` (which shows,
// grabs and names the picture). `scratchFolder` is a private folder for the folder browser.
void saveConfigurationDialogs(const std::function<void(QWidget&, const char*)>& save,
                              const std::string& scratchFolder);
