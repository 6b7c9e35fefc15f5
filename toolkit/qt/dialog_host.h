// The Qt dialog behind a CDialog: builds the controls of the template and
// turns widget signals and window events into messages of the dialog's
// message table.
#pragma once

#include "../resources.h"

#include <QDialog>
#include <QHash>

class CDialog;
class QAbstractButton;
class QLineEdit;
class QMenu;
class QScrollBar;

class DialogHost : public QDialog
{
public:
	DialogHost(CDialog *owner, const DialogTemplate &tmpl, QWidget *parent);

	QWidget *control(int id) const { return m_controls.value(id); }
	int controlId(const QWidget *widget) const;
	QMenu *systemMenu() const { return m_sysMenu; }
	void showSystemMenu(const QPoint &globalPos);

	// Sets an edit's text from the program: raises the change handler also
	// when the text is already shown, unless notify is false.
	void setEditText(QLineEdit *edit, const QString &text, bool notify);
	void setEditLimit(QLineEdit *edit, int limit);

	void reject() override;
	// The dialog's own painting, for a paint handler that does not draw.
	void paintDefault();

protected:
	void contextMenuEvent(QContextMenuEvent *event) override;
	void paintEvent(QPaintEvent *event) override;
	void changeEvent(QEvent *event) override;
	bool eventFilter(QObject *watched, QEvent *event) override;

private:
	void createControl(const ControlTemplate &ctl, const QFont &font);
	QWidget *makeWidget(const ControlTemplate &ctl);
	void connectButton(QAbstractButton *button, const ControlTemplate &ctl);
	void connectEdit(QLineEdit *edit, int id);
	void connectScrollBar(QScrollBar *bar);
	void onRadioClicked(QAbstractButton *radio, int group);
	void onScrollAction(QScrollBar *bar, int action);
	void dispatchScroll(QScrollBar *bar, unsigned code, int pos);
	void onEditTextChanged(QLineEdit *edit, int id);
	void buildSystemMenu();
	QRect toPixels(short x, short y, short cx, short cy) const;

	CDialog *m_owner;
	QHash<int, QWidget *> m_controls;
	QHash<QWidget *, int> m_radioGroups;
	QMenu *m_sysMenu = nullptr;
	int m_baseX = 6; // average character width of the dialog font
	int m_baseY = 13; // character height of the dialog font
	QPaintEvent *m_paintEvent = nullptr;
};

namespace toolkit {
DialogHost *HostOf(const CDialog &dialog);
QWidget *ControlWidgetOf(const CDialog &dialog, int id);
} // namespace toolkit
