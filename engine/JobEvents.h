// The job's reports as Qt signals on the owner's thread. JobEvents installs itself as the
// worker's listener; every report is queued to the thread JobEvents lives on and emitted there,
// but only while its job is still the current one: events of a job that was cancelled or
// replaced (an older generation) are dropped on arrival. QtCore only.
//
// How a window uses it (both members of the window, the worker declared first):
//
//     RXWorker m_job{&m_panels};          // the panel set is the OperationSource
//     JobEvents m_events{m_job};
//     connect(&m_events, &JobEvents::jobStarted, this, &CRXMainWnd::OnJobStarted);
//     connect(&m_events, &JobEvents::progressStep, this, &CRXMainWnd::OnProgressStep);
//     connect(&m_events, &JobEvents::fileDone, this, &CRXMainWnd::OnFileDone);
//     connect(&m_events, &JobEvents::jobFinished, this, &CRXMainWnd::OnJobFinished);
//
// START: set the output folder and format, then m_job.Start() (false while a job runs: nothing
// happens). The records are copied there, so the panels may be edited during the job.
// Cancel: m_job.Cancel(); when it returns no signal of that job follows. The window closes with
// a Cancel first. The "Failed to create directory" message box of the worker is shown through
// rx::ShowMessageBox on this thread (JobEvents runs the worker's waiting call from the event
// loop). The run folder arrives as a QString with the local file system's path text.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>

#include "engine/JobListener.h"

namespace rx {

class RXWorker;

class JobEvents final : public QObject {
    Q_OBJECT
public:
    explicit JobEvents(RXWorker& worker, QObject* parent = nullptr);
    // Stops listening; events still queued are dropped with this object.
    ~JobEvents() override;
    JobEvents(const JobEvents&) = delete;
    JobEvents& operator=(const JobEvents&) = delete;

    // The generation whose events are delivered now (the worker's current job).
    unsigned generation() const { return generation_.load(); }

Q_SIGNALS:
    void jobStarted(unsigned files, unsigned range);
    void progressStep(unsigned position);
    void fileDone(unsigned done);
    void jobFinished(unsigned saved, QString runFolder);

private:
    class Relay final : public JobListener {
    public:
        explicit Relay(JobEvents& owner) : owner_(owner) {}
        void jobStarted(unsigned files, unsigned range) override;
        void progressStep(unsigned position) override;
        void fileDone(unsigned done) override;
        void jobFinished(unsigned saved, boost::filesystem::path runFolder) override;
        void generationChanged(unsigned generation) override;
        void ownerCallWaiting() override;

    private:
        JobEvents& owner_;
    };

    // Queues fn to this object's thread, to run only while generation is still current.
    template <class Fn> void Deliver(Fn fn);

    RXWorker& worker_;
    Relay relay_;
    std::atomic<unsigned> generation_;
};

} // namespace rx
