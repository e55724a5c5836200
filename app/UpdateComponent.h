// The program's side of the update component "AutoUpdate" (libAutoUpdate.so), a separate
// library that looks for, downloads and installs newer versions. The library is optional:
// without it, or without one of the entry points an operation needs, that operation does
// nothing. Entry points are looked up by name on every use (the component may be replaced).
//
// Who calls what (all on the UI thread, through the one UpdateComponent of the process):
//   CRXApp, before creating any window:   UpdateComponent component;        (loads the library)
//   CRXApp, start-up (after the font):    if (component.Init() == UpdateStart::Stop) end start-up
//                                          with failure: no window is shown, no message.
//   CRXApp, after showing the main window: component.AttachMainWindow(mainWindow);
//                                          (parent window, close callback, automatic check)
//   main window, command 1501 "Check for &updates":  component.CheckManual();
//   CRXApp, exit (also after a failed start-up):     component.Close();
//   The library is unloaded when the object is destroyed (after Close).
//
// The component calls back, on any of its threads:
//   close application  -> queues QCoreApplication::exit(0) on the UI thread; the message loop ends.
//   updates available  -> frees the value it was given; nothing else (the component shows its own
//   UI). no updates / error -> only after a manual check, and at most once per manual check:
//   removes
//                          both manual callbacks, then shows "Currently there are no updates
//                          available." (information) or the error text (error icon) through
//                          rx::ShowMessageBox, always on the UI thread. A report that arrives on
//                          another thread is queued to the UI thread (the component's thread is
//                          not held while the box is open) and answers as if OK was pressed.
#pragma once

#include <QLibrary>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <string>

#include "app/UpdateAbi.h"

class QWidget;

namespace rx {

// What start-up does after the update component's initialisation.
enum class UpdateStart {
    Continue, // go on and show the main window
    Stop,     // the component is replacing the program: end now, showing nothing
};

class UpdateComponent : public QObject {
public:
    // The base name of the library: QLibrary makes it libAutoUpdate.so.
    static inline const QString kLibraryName = QStringLiteral("AutoUpdate");
    // Where the component finds its update settings, handed to it at initialisation.
    static inline const QString kSettingsAddress =
        QStringLiteral("https://www.mornsby.com/rexmill/1.0/update.xml");
    static inline const std::wstring kNoUpdatesText = L"Currently there are no updates available.";
    static inline const std::wstring kErrorText =
        L"An error occurred while checking for updates. Please try again later. If the problem "
        L"persists, write to support@mornsby.com or visit www.mornsby.com/support.";
    // The application's title, the caption of both message boxes.
    static inline const std::wstring kCaption = L"Rexmill";

    // The places the library is looked for, in this order: beside the executable (needs the
    // QCoreApplication; skipped without one), then by name on the library path.
    static QStringList LibraryCandidates();

    // Loads "AutoUpdate" from the first candidate that loads. Construct on the UI thread;
    // only one UpdateComponent may exist at a time (the callbacks reach it without context).
    UpdateComponent();
    // Loads exactly this library (a file path or a name; tests use it).
    explicit UpdateComponent(const QString& library);
    ~UpdateComponent() override;
    UpdateComponent(const UpdateComponent&) = delete;
    UpdateComponent& operator=(const UpdateComponent&) = delete;

    bool isLoaded() const { return library_.isLoaded(); }
    // The file the library was loaded from (empty when absent).
    QString libraryFile() const { return isLoaded() ? library_.fileName() : QString(); }

    // Start-up: registers the close and updates-available callbacks and calls "Update_Init"
    // with the settings address and the version. Stop when it returned 1. Continue without the
    // library or when "Update_Init", "Update_Check", "Set_OnCloseApplication",
    // "Update_SetProductName" or "Set_OnUpdatesAvailable" is missing.
    UpdateStart Init(const QString& settingsAddress = kSettingsAddress,
                     const QString& version = QString());

    // After the main window is shown: gives the component the window's handle, registers the
    // close callback again and starts the automatic check (which reports nothing found and no
    // error silently). The window also owns the message boxes of the manual check.
    // Nothing happens unless Init called "Update_Init".
    void AttachMainWindow(QWidget* mainWindow);

    // Command 1501: a manual check, when "Update_CheckManual", "Set_OnNoUpdatesAvailable" and
    // "Set_OnError" exist and Init called "Update_Init". Its outcome "nothing found" or
    // "failed" is shown once.
    void CheckManual();

    // Exit: calls "Update_Close" when it exists. Safe without the library or after a failed
    // start-up.
    void Close();

    // Number of entry-point look-ups so far (each use looks its entry point up again).
    long lookupCount() const { return lookups_.load(); }

private:
    template <typename Fn> Fn Resolve(const char* name);
    bool Has(const char* name);
    void RemoveManualCallbacks();
    void LoadFirstOf(const QStringList& candidates);

    static std::int32_t OnCloseApplication(std::int32_t);
    static std::int32_t OnUpdatesAvailable(RxVariant value, std::int32_t);
    static std::int32_t OnNoUpdatesAvailable(std::int32_t);
    static std::int32_t OnError(std::int32_t, std::int32_t);
    // Shows the outcome of the manual check once, on the UI thread.
    static int ReportManualOutcome(bool error);

    QLibrary library_;
    QPointer<QWidget> mainWindow_;
    // Set by CheckManual, taken by the first report of that check.
    std::atomic<bool> manualPending_{false};
    std::atomic<long> lookups_{0};
    // Whether "Update_Init" ran: a component that was never initialised gets no checks.
    bool initialised_ = false;
};

} // namespace rx
