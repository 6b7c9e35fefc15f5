// The Qt side of the toolkit, for the application's start-up, tools and
// widget tests. Handlers never include this.
#pragma once

#include <QString>

#include <functional>

class CDialog;
class QDialog;
class QMessageBox;
class QWidget;

namespace toolkit {

// The dialog's window; nullptr before Create/DoModal and after it ended.
QDialog *DialogWidget(const CDialog &dialog);
// The control with this identifier (objectName is the decimal identifier).
QWidget *ControlWidget(const CDialog &dialog, int id);

// Called with every message box just before it runs modally; tests use it
// to read the text and close the box.
void SetMessageBoxObserver(std::function<void(QMessageBox &)> observer);

// Caption of every message box.
QString ApplicationTitle();

} // namespace toolkit
