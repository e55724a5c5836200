// The application object: prepares the process in a fixed order (time locale, settings store,
// interface fonts, imaging, the private "Pacifico" font, the update component, the message
// box), creates and shows the main window, and shuts down in the reverse order. One per
// process, on the UI thread.
#pragma once

#include <QApplication>
#include <memory>

namespace rx {

class CRXMainWnd;
class PrivateFontCollection;
class SettingsStore;
class UpdateComponent;

class CRXApp : public QApplication {
public:
    CRXApp(int& argc, char** argv);
    ~CRXApp() override;
    CRXApp(const CRXApp&) = delete;
    CRXApp& operator=(const CRXApp&) = delete;

    // True to run the event loop; false ends the process at once.
    bool InitInstance();
    // Releases what InitInstance set up, also after a start that stopped half-way; returns
    // the exit code.
    int ExitInstance(int code);
    // InitInstance, the event loop, ExitInstance.
    int Run();

    const PrivateFontCollection* PrivateFonts() const { return m_fonts.get(); }
    SettingsStore* Settings() const { return m_settings.get(); }
    CRXMainWnd* MainWindow() const { return m_mainWnd.get(); }

    // The exit code when InitInstance fails.
    static constexpr int kStartFailed = 1;

protected:
    // Step of InitInstance: the embedded "Pacifico" into the private collection.
    virtual bool LoadPrivateFont();

private:
    std::unique_ptr<UpdateComponent> m_update;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<PrivateFontCollection> m_fonts;
    std::unique_ptr<CRXMainWnd> m_mainWnd;
    bool m_updateStarted = false;
};

} // namespace rx
