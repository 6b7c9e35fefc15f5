#include "../dialog.h"

#include "../ddx.h"
#include "../resources.h"
#include "../winapp.h"
#include "dialog_host.h"
#include "interaction.h"

#include <QAbstractButton>
#include <QEventLoop>
#include <QIcon>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>

namespace {

// A control object of the right class for a control that the program
// reaches through GetDlgItem without a member of its own.
std::unique_ptr<CWnd> makeControlObject(QWidget *widget)
{
	std::unique_ptr<CWnd> wnd;
	if (qobject_cast<QScrollBar *>(widget))
		wnd = std::make_unique<CScrollBar>();
	else if (qobject_cast<QLineEdit *>(widget))
		wnd = std::make_unique<CEdit>();
	else if (qobject_cast<QAbstractButton *>(widget))
		wnd = std::make_unique<CButton>();
	else if (qobject_cast<QProgressBar *>(widget))
		wnd = std::make_unique<CProgressCtrl>();
	else
		wnd = std::make_unique<CWnd>();
	wnd->Attach(widget);
	return wnd;
}

} // namespace

CDialog::CDialog(UINT templateId, CWnd *parent) : m_nTemplateId(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog()
{
	destroyWindow();
}

bool CDialog::createWindow()
{
	if (m_host)
		return true;
	const DialogTemplate *tmpl = AfxFindDialogTemplate(m_nTemplateId);
	if (!tmpl)
		return false;
	QWidget *parent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
	if (!parent && AfxGetApp() && AfxGetApp()->m_pMainWnd && AfxGetApp()->m_pMainWnd != this)
		parent = AfxGetApp()->m_pMainWnd->GetSafeHwnd();
	m_bEnded = false;
	m_host = new DialogHost(this, *tmpl, parent);
	m_hWnd = m_host;
	m_sysMenu = std::make_unique<CMenu>(m_host->systemMenu());
	OnInitDialog();
	return true;
}

void CDialog::destroyWindow()
{
	if (!m_host)
		return;
	// Control objects that outlive the window must not reach its widgets.
	for (const auto &ctl : m_host->controls()) {
		if (ctl->object)
			ctl->object->Detach();
	}
	m_items.clear();
	m_sysMenu.reset();
	DialogHost *host = m_host;
	m_host = nullptr;
	m_hWnd = nullptr;
	delete host;
}

BOOL CDialog::Create()
{
	return createWindow() ? TRUE : FALSE;
}

void CDialog::DestroyWindow()
{
	destroyWindow();
}

INT_PTR CDialog::DoModal()
{
	if (!createWindow())
		return -1;
	m_nModalResult = IDCANCEL;
	{
		toolkit::detail::ModalReturn back;
		if (!AfxGetApp() || AfxGetApp()->m_pMainWnd != this) {
			m_host->setWindowModality(Qt::ApplicationModal);
			m_host->exec();
		} else if (!m_bEnded) {
			// The main window blocks no window of its own: not flagged
			// modal, a window manager treats it as the ordinary window it is.
			QEventLoop loop;
			QObject::connect(m_host, &QDialog::finished, &loop, &QEventLoop::quit);
			m_host->show();
			loop.exec(QEventLoop::DialogExec);
		}
	}
	INT_PTR result = m_nModalResult;
	destroyWindow();
	return result;
}

void CDialog::EndDialog(int result)
{
	m_nModalResult = result;
	m_bEnded = true;
	if (m_host)
		m_host->done(result);
}

BOOL CDialog::OnInitDialog()
{
	UpdateData(FALSE);
	return TRUE;
}

void CDialog::DoDataExchange(CDataExchange *) {}

void CDialog::OnOK()
{
	if (!UpdateData(TRUE))
		return;
	EndDialog(IDOK);
}

void CDialog::OnCancel()
{
	EndDialog(IDCANCEL);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
	if (!m_host)
		return FALSE;
	++m_nExchangeDepth;
	CDataExchange dx(this, saveAndValidate);
	DoDataExchange(&dx);
	--m_nExchangeDepth;
	return dx.Failed() ? FALSE : TRUE;
}

CWnd *CDialog::GetDlgItem(int id) const
{
	ControlState *ctl = m_host ? m_host->state(id) : nullptr;
	if (!ctl)
		return nullptr;
	if (ctl->object)
		return ctl->object;
	auto &item = m_items[id];
	if (!item)
		item = makeControlObject(ctl->widget);
	return item.get();
}

UINT CDialog::IsDlgButtonChecked(int id) const
{
	auto *button = m_host ? qobject_cast<QAbstractButton *>(m_host->control(id)) : nullptr;
	return button && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CDialog::CheckDlgButton(int id, UINT check)
{
	if (CWnd *item = GetDlgItem(id))
		item->SendMessage(BM_SETCHECK, check);
}

CMenu *CDialog::GetSystemMenu(BOOL)
{
	return m_sysMenu.get();
}

HICON CDialog::SetIcon(HICON icon, BOOL)
{
	// One icon serves both sizes: Qt scales it for the title bar.
	HICON previous = m_hIconSet;
	m_hIconSet = icon;
	if (m_host && icon)
		m_host->setWindowIcon(QIcon(QString::fromUtf8(icon->path)));
	return previous;
}

BOOL CDialog::IsIconic() const
{
	return m_host && m_host->isMinimized();
}

void CDialog::GetClientRect(CRect *rect) const
{
	*rect = CRect{};
	if (m_host) {
		rect->right = m_host->width();
		rect->bottom = m_host->height();
	}
}

void CDialog::OnSysCommand(UINT id, LPARAM)
{
	if (!m_host)
		return;
	switch (id & 0xFFF0) {
	case SC_CLOSE:
		Dispatch(WM_COMMAND, BN_CLICKED, IDCANCEL);
		break;
	case SC_MINIMIZE:
		m_host->showMinimized();
		break;
	case SC_RESTORE:
		m_host->showNormal();
		break;
	default:
		break;
	}
}

void CDialog::OnPaint()
{
	if (m_host)
		m_host->paintDefault();
}

void CDialog::OnHScroll(UINT, UINT, CScrollBar *) {}

const AFX_MSGMAP *CDialog::GetThisMessageMap()
{
	static const AFX_MSGMAP_ENTRY entries[] = { { 0, 0, 0, AFX_PMSG{} } };
	static const AFX_MSGMAP map = { nullptr, &entries[0] };
	return &map;
}

const AFX_MSGMAP *CDialog::GetMessageMap() const
{
	return GetThisMessageMap();
}

void CDialog::Dispatch(UINT message, UINT code, int id, WPARAM wParam, LPARAM lParam, LRESULT *result)
{
	if (!OnCmdMsg(message, code, id, wParam, lParam, result))
		dispatchDefault(message, code, id, wParam, lParam);
}

bool CDialog::OnCmdMsg(UINT message, UINT code, int id, WPARAM wParam, LPARAM lParam, LRESULT *result)
{
	const bool fromControl = message == WM_COMMAND || message == WM_NOTIFY;
	for (const AFX_MSGMAP *map = GetMessageMap(); map;
	     map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
		for (const AFX_MSGMAP_ENTRY *entry = map->lpEntries;
		     !std::holds_alternative<std::monostate>(entry->pfn); ++entry) {
			if (entry->nMessage != message)
				continue;
			if (fromControl && (entry->nCode != code || entry->nID != id))
				continue;
			return invoke(this, *entry, wParam, lParam, result);
		}
	}
	return false;
}

bool CDialog::invoke(CDialog *self, const AFX_MSGMAP_ENTRY &entry, WPARAM wParam, LPARAM lParam,
		     LRESULT *result)
{
	LRESULT ignored = 0;
	if (!result)
		result = &ignored;
	if (auto *pfn = std::get_if<AFX_PMSG_V>(&entry.pfn)) {
		(self->**pfn)();
	} else if (auto *hscroll = std::get_if<AFX_PMSG_HSCROLL>(&entry.pfn)) {
		(self->**hscroll)(static_cast<UINT>(wParam & 0xFFFF),
				  static_cast<UINT>((wParam >> 16) & 0xFFFF),
				  reinterpret_cast<CScrollBar *>(lParam));
	} else if (auto *sys = std::get_if<AFX_PMSG_SYSCOMMAND>(&entry.pfn)) {
		(self->**sys)(static_cast<UINT>(wParam), lParam);
	} else if (auto *query = std::get_if<AFX_PMSG_QUERYICON>(&entry.pfn)) {
		*result = reinterpret_cast<LRESULT>((self->**query)());
	} else if (auto *notify = std::get_if<AFX_PMSG_NOTIFY>(&entry.pfn)) {
		(self->**notify)(reinterpret_cast<NMHDR *>(lParam), result);
	} else if (auto *activate = std::get_if<AFX_PMSG_ACTIVATEAPP>(&entry.pfn)) {
		(self->**activate)(static_cast<BOOL>(wParam), 0);
	} else {
		return false;
	}
	return true;
}

void CDialog::dispatchDefault(UINT message, UINT code, int id, WPARAM wParam, LPARAM lParam)
{
	switch (message) {
	case WM_COMMAND:
		if (code == BN_CLICKED && id == IDOK)
			OnOK();
		else if (code == BN_CLICKED && id == IDCANCEL)
			OnCancel();
		break;
	case WM_SYSCOMMAND:
		OnSysCommand(static_cast<UINT>(wParam), lParam);
		break;
	case WM_PAINT:
		OnPaint();
		break;
	default:
		break;
	}
}
