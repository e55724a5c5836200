#include "engine/JobEvents.h"

#include <QMetaObject>

#include "engine/RXWorker.h"

namespace rx {

JobEvents::JobEvents(RXWorker& worker, QObject* parent)
    : QObject(parent), worker_(worker), relay_(*this), generation_(worker.generation()) {
    worker_.setListener(&relay_);
}

JobEvents::~JobEvents() {
    if (worker_.listener() == &relay_)
        worker_.setListener(nullptr);
}

template <class Fn> void JobEvents::Deliver(Fn fn) {
    // The worker calls this only between the Start and the Cancel of its own job, so the
    // generation read here is its job's.
    const unsigned job = generation_.load();
    QMetaObject::invokeMethod(
        this,
        [this, job, fn = std::move(fn)] {
            if (job == generation_.load())
                fn();
        },
        Qt::QueuedConnection);
}

void JobEvents::Relay::jobStarted(unsigned files, unsigned range) {
    JobEvents* o = &owner_;
    o->Deliver([o, files, range] { Q_EMIT o->jobStarted(files, range); });
}

void JobEvents::Relay::progressStep(unsigned position) {
    JobEvents* o = &owner_;
    o->Deliver([o, position] { Q_EMIT o->progressStep(position); });
}

void JobEvents::Relay::fileDone(unsigned done) {
    JobEvents* o = &owner_;
    o->Deliver([o, done] { Q_EMIT o->fileDone(done); });
}

void JobEvents::Relay::jobFinished(unsigned saved, boost::filesystem::path runFolder) {
    JobEvents* o = &owner_;
    const QString folder = QString::fromStdString(runFolder.string());
    o->Deliver([o, saved, folder] { Q_EMIT o->jobFinished(saved, folder); });
}

void JobEvents::Relay::generationChanged(unsigned generation) {
    owner_.generation_.store(generation);
}

void JobEvents::Relay::ownerCallWaiting() {
    // Not tied to a generation: a Cancel abandons the call itself, and running it late is a
    // no-op then.
    RXWorker* worker = &owner_.worker_;
    QMetaObject::invokeMethod(
        &owner_, [worker] { worker->RunPendingCalls(); }, Qt::QueuedConnection);
}

} // namespace rx
