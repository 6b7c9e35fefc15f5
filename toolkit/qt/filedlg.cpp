#include "../filedlg.h"

#include "../filedlg_access.h"
#include "../wnd.h"
#include "interaction.h"

#include <QFileDialog>
#include <QStringList>

namespace {

std::function<void(QFileDialog &)> g_observer;

// "Caption|pattern|Caption|pattern||" -> { "Caption (pattern)", ... }.
QStringList nameFilters(const CString &filter)
{
	QStringList parts = QString::fromUtf8(filter.GetString()).split(QLatin1Char('|'));
	QStringList filters;
	for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
		if (parts[i].isEmpty())
			break;
		QString patterns = parts[i + 1];
		patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
		// Qt shows the patterns after the description itself: a hint in
		// brackets that the description already ends in goes.
		QString description = parts[i];
		if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
			description.truncate(description.lastIndexOf(QLatin1Char('(')));
		filters << description.trimmed() + QStringLiteral(" (") + patterns + QLatin1Char(')');
	}
	return filters;
}

} // namespace

namespace toolkit {

void SetFileDialogObserver(std::function<void(QFileDialog &)> observer)
{
	g_observer = std::move(observer);
}

} // namespace toolkit

CFileDialog::CFileDialog(BOOL openFileDialog, const char *defaultExt, const char *fileName, DWORD flags,
			 const char *filter, CWnd *parentWnd)
	: m_bOpenFileDialog(openFileDialog), m_strDefaultExt(defaultExt), m_strFileName(fileName),
	  m_dwFlags(flags), m_strFilter(filter), m_pParentWnd(parentWnd)
{}

INT_PTR CFileDialog::DoModal()
{
	toolkit::detail::EndPointerInteraction();

	// Qt's own dialog, the same on every desktop.
	QFileDialog dialog(m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr);
	dialog.setOption(QFileDialog::DontUseNativeDialog);
	dialog.setWindowModality(Qt::ApplicationModal);
	if (m_bOpenFileDialog) {
		// Without OFN_FILEMUSTEXIST an open dialog also takes a name that
		// does not exist yet.
		dialog.setAcceptMode(QFileDialog::AcceptOpen);
		if (m_dwFlags & OFN_ALLOWMULTISELECT)
			dialog.setFileMode(QFileDialog::ExistingFiles);
		else
			dialog.setFileMode((m_dwFlags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
									   : QFileDialog::AnyFile);
	} else {
		dialog.setAcceptMode(QFileDialog::AcceptSave);
		dialog.setFileMode(QFileDialog::AnyFile);
		dialog.setOption(QFileDialog::DontConfirmOverwrite, !(m_dwFlags & OFN_OVERWRITEPROMPT));
	}
	if (!m_strFilter.IsEmpty())
		dialog.setNameFilters(nameFilters(m_strFilter));
	if (!m_strDefaultExt.IsEmpty())
		dialog.setDefaultSuffix(QString::fromUtf8(m_strDefaultExt.GetString()));
	if (m_ofn.lpstrInitialDir && *m_ofn.lpstrInitialDir)
		dialog.setDirectory(QString::fromUtf8(m_ofn.lpstrInitialDir));
	if (!m_strFileName.IsEmpty())
		dialog.selectFile(QString::fromUtf8(m_strFileName.GetString()));

	if (g_observer)
		g_observer(dialog);
	m_paths.clear();
	if (dialog.exec() != QDialog::Accepted)
		return IDCANCEL;
	for (const QString &path : dialog.selectedFiles())
		m_paths.emplace_back(path.toStdString());
	return m_paths.empty() ? IDCANCEL : IDOK;
}

CString CFileDialog::GetPathName() const
{
	return m_paths.empty() ? CString() : m_paths.front();
}

POSITION CFileDialog::GetStartPosition() const
{
	return m_paths.empty() ? 0 : 1;
}

CString CFileDialog::GetNextPathName(POSITION &pos) const
{
	if (pos <= 0 || static_cast<size_t>(pos) > m_paths.size()) {
		pos = 0;
		return CString();
	}
	CString path = m_paths[static_cast<size_t>(pos - 1)];
	pos = static_cast<size_t>(pos) < m_paths.size() ? pos + 1 : 0;
	return path;
}
