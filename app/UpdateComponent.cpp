#include "app/UpdateComponent.h"

#include <QCoreApplication>
#include <QThread>
#include <QWidget>

#include "engine/DebugLog.h"
#include "engine/MessageBox.h"
#include "engine/Version.h"

namespace rx {
namespace {
// The callbacks carry no context; they reach the one component of the process through this.
std::atomic<UpdateComponent*> g_current{nullptr};

std::u16string_view View(const QString& s) {
    return {reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())};
}

bool OnUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}
} // namespace

QStringList UpdateComponent::LibraryCandidates() {
    QStringList candidates;
    if (QCoreApplication::instance())
        candidates << QCoreApplication::applicationDirPath() + QLatin1Char('/') + kLibraryName;
    candidates << kLibraryName;
    return candidates;
}

UpdateComponent::UpdateComponent() {
    LoadFirstOf(LibraryCandidates());
}

UpdateComponent::UpdateComponent(const QString& library) {
    LoadFirstOf({library});
}

void UpdateComponent::LoadFirstOf(const QStringList& candidates) {
    g_current.store(this);
    for (const QString& candidate : candidates) {
        library_.setFileName(candidate);
        if (library_.load())
            return;
    }
    library_.setFileName(QString());
}

UpdateComponent::~UpdateComponent() {
    UpdateComponent* self = this;
    g_current.compare_exchange_strong(self, nullptr);
    if (library_.isLoaded())
        library_.unload();
}

template <typename Fn> Fn UpdateComponent::Resolve(const char* name) {
    if (!library_.isLoaded())
        return nullptr;
    ++lookups_;
    return reinterpret_cast<Fn>(library_.resolve(name));
}

bool UpdateComponent::Has(const char* name) {
    return Resolve<void (*)()>(name) != nullptr;
}

UpdateStart UpdateComponent::Init(const QString& settingsAddress, const QString& version) {
    using namespace update;
    for (const char* name : {kUpdateInit, kUpdateCheck, kSetOnCloseApplication,
                             kUpdateSetProductName, kSetOnUpdatesAvailable}) {
        if (!Has(name))
            return UpdateStart::Continue;
    }
    Resolve<RxSetOnCloseApplicationFn>(kSetOnCloseApplication)(&OnCloseApplication, 1);
    Resolve<RxSetOnUpdatesAvailableFn>(kSetOnUpdatesAvailable)(&OnUpdatesAvailable, 1);

    const QString versionText = version.isEmpty() ? QString::fromLatin1(kVersion) : version;
    const ScopedVariant versionValue(View(versionText));
    const ScopedVariant settingsValue(View(settingsAddress));
    const std::int32_t result =
        Resolve<RxUpdateInitFn>(kUpdateInit)(settingsValue.get(), versionValue.get());
    initialised_ = true;
    return result == 1 ? UpdateStart::Stop : UpdateStart::Continue;
}

void UpdateComponent::AttachMainWindow(QWidget* mainWindow) {
    using namespace update;
    mainWindow_ = mainWindow;
    if (!initialised_)
        return;
    if (auto setParent = Resolve<RxUpdateSetParentWndFn>(kUpdateSetParentWnd);
        setParent && mainWindow)
        setParent(std::uintptr_t(mainWindow->winId()));
    if (auto setClose = Resolve<RxSetOnCloseApplicationFn>(kSetOnCloseApplication))
        setClose(&OnCloseApplication, 1);
    // The automatic check stays silent when it finds nothing or fails.
    manualPending_.store(false);
    RemoveManualCallbacks();
    if (auto check = Resolve<RxUpdateCheckFn>(kUpdateCheck))
        check();
}

void UpdateComponent::CheckManual() {
    using namespace update;
    if (!initialised_ || !Has(kUpdateCheckManual) || !Has(kSetOnNoUpdatesAvailable) ||
        !Has(kSetOnError))
        return;
    manualPending_.store(true);
    Resolve<RxSetOnErrorFn>(kSetOnError)(&OnError, 1);
    Resolve<RxSetOnNoUpdatesAvailableFn>(kSetOnNoUpdatesAvailable)(&OnNoUpdatesAvailable, 1);
    Resolve<RxUpdateCheckManualFn>(kUpdateCheckManual)();
}

void UpdateComponent::Close() {
    if (auto close = Resolve<RxUpdateCloseFn>(update::kUpdateClose))
        close();
}

void UpdateComponent::RemoveManualCallbacks() {
    using namespace update;
    auto setError = Resolve<RxSetOnErrorFn>(kSetOnError);
    auto setNoUpdates = Resolve<RxSetOnNoUpdatesAvailableFn>(kSetOnNoUpdatesAvailable);
    if (setError && setNoUpdates) {
        setError(nullptr, 0);
        setNoUpdates(nullptr, 0);
    }
}

std::int32_t UpdateComponent::OnCloseApplication(std::int32_t) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return 0;
    // Queued, as a posted quit: it ends the message loop on the UI thread, whichever thread
    // the component called from, and also when the loop has not started yet.
    return QMetaObject::invokeMethod(
               app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection)
               ? 1
               : 0;
}

std::int32_t UpdateComponent::OnUpdatesAvailable(RxVariant value, std::int32_t) {
    // The component hands over the value; the program has no use for it.
    update::RxVariantClear(value);
    return 0;
}

std::int32_t UpdateComponent::OnNoUpdatesAvailable(std::int32_t) {
    ReportManualOutcome(false);
    return 0;
}

std::int32_t UpdateComponent::OnError(std::int32_t, std::int32_t) {
    return ReportManualOutcome(true);
}

int UpdateComponent::ReportManualOutcome(bool error) {
    UpdateComponent* self = g_current.load();
    if (!self)
        return IDOK;
    self->RemoveManualCallbacks();
    // Only the first report of a manual check is shown; the automatic check and repeated
    // reports of a component that keeps calling show nothing.
    if (!self->manualPending_.exchange(false)) {
        DebugLog(L"Update check: report without a manual check ignored\n");
        return IDOK;
    }
    const std::wstring& text = error ? kErrorText : kNoUpdatesText;
    const unsigned style = MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION);
    if (OnUiThread())
        return ShowMessageBox(text, kCaption, style);
    QMetaObject::invokeMethod(
        self, [text, style] { ShowMessageBox(text, kCaption, style); }, Qt::QueuedConnection);
    return IDOK;
}

} // namespace rx
