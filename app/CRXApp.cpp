#include "app/CRXApp.h"

#include "app/AppMessageBox.h"
#include "app/CRXMainWnd.h"
#include "app/UpdateComponent.h"
#include "engine/Imaging.h"
#include "engine/MessageBox.h"
#include "settings/SettingsStore.h"
#include "ui/InterfaceFonts.h"
#include "ui/PrivateFontCollection.h"
#include "ui/SkinResources.h"

#include <clocale>

namespace rx {

namespace {

const wchar_t kFontFailed[] = L"Failed to load font from resources.";

} // namespace

CRXApp::CRXApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Rexmill"));
    setOrganizationName(QStringLiteral("Mornsby Software"));
    setDesktopFileName(QStringLiteral("rexmill"));
    setQuitOnLastWindowClosed(true);
    // The update library is looked for before anything else happens.
    m_update = std::make_unique<UpdateComponent>();
}

CRXApp::~CRXApp() = default;

bool CRXApp::LoadPrivateFont() {
    m_fonts = std::make_unique<PrivateFontCollection>();
    return m_fonts->LoadEmbeddedFont();
}

bool CRXApp::InitInstance() {
    // Date stamps in watermarks are formatted under the user's time locale.
    std::setlocale(LC_TIME, "");
    // Every message of the start-up already goes through the program's own box.
    InstallAppMessageBox();
    m_settings = std::make_unique<SettingsStore>();
    // The regular and bold interface fonts every panel, label and edit uses.
    ui::CreateInterfaceFonts();
    EnsureImagingStarted();
    InitSkinResources();
    setWindowIcon(LoadAppIcon());
    if (!LoadPrivateFont()) {
        ShowMessageBox(kFontFailed, applicationName().toStdWString(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    ui::SetPrivateFonts(m_fonts.get());
    m_updateStarted = true;
    if (m_update->Init() == UpdateStart::Stop)
        return false; // the update component is replacing the program
    m_mainWnd = std::make_unique<CRXMainWnd>(*m_settings, m_fonts.get());
    if (!m_mainWnd->Create()) {
        m_mainWnd.reset();
        return false;
    }
    m_mainWnd->SetUpdateComponent(m_update.get());
    m_mainWnd->show();
    m_update->AttachMainWindow(m_mainWnd.get());
    return true;
}

int CRXApp::ExitInstance(int code) {
    m_mainWnd.reset();
    if (m_updateStarted)
        m_update->Close();
    m_updateStarted = false;
    ui::SetPrivateFonts(nullptr);
    m_fonts.reset();
    if (m_settings)
        m_settings->sync();
    m_settings.reset();
    return code;
}

int CRXApp::Run() {
    if (!InitInstance())
        return ExitInstance(kStartFailed);
    QStringList paths = arguments();
    paths.removeFirst();
    if (!paths.isEmpty())
        m_mainWnd->OpenPaths(paths);
    return ExitInstance(exec());
}

} // namespace rx
