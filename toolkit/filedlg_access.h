// The Qt side of the file dialog, for tests: they see every file dialog
// just before it runs modally and answer it.
#pragma once

#include <functional>

class QFileDialog;

namespace toolkit {

void SetFileDialogObserver(std::function<void(QFileDialog &)> observer);

} // namespace toolkit
