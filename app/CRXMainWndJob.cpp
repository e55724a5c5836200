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

void CRXMainWnd::JobEventsBridge::Post(unsigned message, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
    const unsigned generation = m_generation;
    QMetaObject::invokeMethod(
        &m_owner,
        [this, generation, message, wParam, lParam] {
            if (generation != m_generation)
                return;
            switch (message) {
            case WM_RX_JOB_STARTED:
                return m_owner.OnJobStarted(int(wParam), int(lParam));
            case WM_RX_PROGRESS_STEP:
                return m_owner.OnProgressStep(int(wParam));
            case WM_RX_FILE_DONE:
                return m_owner.OnFileDone(int(wParam));
            default:
                return;
            }
        },
        Qt::QueuedConnection);
}

void CRXMainWnd::JobEventsBridge::Send(unsigned message, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
    // Runs on the window's thread inside RunPendingCalls; the text lives during this call only.
    if (message == WM_RX_JOB_FINISHED)
        m_owner.OnJobFinished(int(wParam),
                              QString::fromWCharArray(reinterpret_cast<const wchar_t*>(lParam)));
}

void CRXMainWnd::JobEventsBridge::WakeOwner() {
    QMetaObject::invokeMethod(
        &m_owner, [this] { m_owner.m_job.RunPendingCalls(); }, Qt::QueuedConnection);
}

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
    m_events->NextGeneration();
    try {
        m_job.Start();
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
    m_job.Cancel();
    m_events->NextGeneration();
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
