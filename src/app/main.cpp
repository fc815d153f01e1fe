// Start-up: the application object, the paths and options, the language, then
// the main window until the application ends.
#include <QTimer>

#include "app/Error.h"
#include "app/Globals.h"
#include "lang/LanguageFile.h"
#include "project/MediaProbe.h"
#include "ui/Application.h"
#include "ui/Look.h"
#include "ui/Main.h"
#include "ui/QtPrompts.h"

int main(int argc, char** argv)
{
    tl::ui::Application app(argc, argv);
    app.setFont(tl::ui::WindowFont());
    tl::EnsureUtf8Locale();
    tl::ui::QtPrompts prompts;
    tl::ui::InstallBusyCursorHook();

    try {
        tl::InitPaths();
        tl::LoadOptions();
    } catch (const tl::Error& error) {
        prompts.ShowError(error.what());
    }
    // A language file that cannot be created leaves the built-in texts in use.
    try {
        tl::LoadLanguage(tl::LanguageFilePath);
    } catch (const tl::Error& error) {
        prompts.ShowError(error.what());
        tl::ui::TfrmMain::SetStartupLanguageError(error.what());
    }

    tl::ui::TfrmMain frmMain;
    frmMain.show();
    if (!tl::SettingsWritable()) {
        QTimer::singleShot(0, &frmMain, [&frmMain] {
            frmMain.Prompts().Message(
                "The installation folder " + tl::InstallDir +
                    " cannot be written to.\r\n\r\nThe program works as usual, but your settings "
                    "(options, language choice) will not be saved when it ends.",
                tl::ApplicationTitle, tl::MsgKind::Warning, tl::MsgButtons::Ok);
        });
    }
    return app.exec();
}
