// The main window's job: START with the folder dialog, the worker's reports, Cancel, Clear and
// the close sequence.
#include "app/AppDialogs.h"
#include "app/CRXMainWndParts.h"
#include "engine/DebugLog.h"
#include "engine/MessageBox.h"
#include "engine/Text.h"
#include "settings/SettingsStore.h"

#include <QCloseEvent>
#include <QDir>

#include <boost/thread/exceptions.hpp>
#include <exception>

namespace rx {

namespace {
const wchar_t kCloseWhileProcessing[] =
    L"Image processing is in progress.\nAre you sure you want to interrupt and quit the app?";
const wchar_t kStartFailed[] = L"The processing could not be started: %s";
} // namespace

void CRXMainWnd::OnJobStarted(int files, int range) {
    m_total = files;
    m_processed = 0;
    m_progress.setRange(0, range);
    m_progress.setValue(0);
    m_dotCount = 0;
    m_dotsTimer.start(kDotsPeriodMs, this);
    RedrawBand();
}

void CRXMainWnd::OnProgressStep(int position) {
    m_progress.setValue(position);
}

void CRXMainWnd::OnFileDone(int done) {
    m_processed = done;
    RedrawBand();
}

void CRXMainWnd::OnJobFinished(int saved, const QString& runFolder) {
    m_job.Clear();
    UpdateProportionsLock();
    m_link.SetURL(runFolder);
    m_processed = saved;
    SetState(MainWindowState::Success);
    UpdateCommands();
    RedrawAll();
    m_dotsTimer.stop();
}

void CRXMainWnd::Start() {
    if (m_state != MainWindowState::FilesAdded || m_job.files().empty())
        return;
    // Operations that are switched on but not ready are switched off first.
    m_panels.UncheckUnready();
    Relayout();
    if (!m_panels.AnyTakesPart())
        return;
    FolderAndFormat answer{QString::fromStdWString(PathText(m_job.ProposedOutputFolder())),
                           m_job.outputFormat()};
    if (!ChooseFolderAndFormat(this, answer))
        return;
    // The dialog ran its own event loop: the state is checked again before the job starts.
    if (m_state != MainWindowState::FilesAdded || m_job.files().empty())
        return;
    m_job.setOutputFolder(PathFromText(QDir::fromNativeSeparators(answer.folder).toStdWString()));
    m_job.setOutputFormat(answer.format);
    try {
        // Refused only while an earlier job is still ending: the window stays in FilesAdded.
        if (!m_job.Start())
            return;
    } catch (const std::exception& e) {
        // No thread: the list stays as it was and the window stays in FilesAdded.
        ShowMessageBox(FormatWide(kStartFailed, Widen(e.what()).c_str()),
                       QString::fromLatin1("Rexmill").toStdWString(), MB_OK | MB_ICONERROR);
        return;
    }
    SetState(MainWindowState::Processing);
    UpdateCommands();
    RedrawAll();
}

void CRXMainWnd::Cancel() {
    if (m_state != MainWindowState::Processing)
        return;
    m_job.Cancel(); // no report of the job follows
    SetState(MainWindowState::FilesAdded);
    m_dotsTimer.stop();
    UpdateCommands();
    RedrawAll();
}

void CRXMainWnd::Clear() {
    if (m_state != MainWindowState::FilesAdded && m_state != MainWindowState::Success)
        return;
    m_job.Clear();
    UpdateProportionsLock();
    SetState(MainWindowState::Empty);
    UpdateCommands();
    RedrawAll();
}

void CRXMainWnd::closeEvent(QCloseEvent* e) {
    if (m_state == MainWindowState::Processing) {
        const int answer = ShowMessageBox(kCloseWhileProcessing, windowTitle().toStdWString(),
                                          MB_OKCANCEL | MB_ICONEXCLAMATION);
        if (answer != IDOK) {
            e->ignore();
            return;
        }
        // The job may have finished while the question was open.
        Cancel();
    }
    ClosePreview();
    m_settings.setWorkingPreset(QString::fromStdWString(m_panels.SavePreset()));
    m_settings.setMainWindowPosition(frameGeometry().left(), frameGeometry().top());
    m_settings.sync();
    e->accept();
}

} // namespace rx
