// Test helpers for the desktop program: a program directory and settings store of its own per test, and
// answers to the modal dialogs and message boxes the program opens.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/element.h"
#include "shell/main_window.h"
#include "shell/shell_app.h"
#include "sim/testing/plcsim_process.h"
#include "tests/app/temp_dir.h"

namespace vaultra::shell::testing {

// Waits (in the event loop) for a modal widget of type W to open and runs act on it once.
class ModalResponder {
public:
    ModalResponder(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> act);
    ~ModalResponder();
    bool Done() const { return *done_; }

private:
    std::shared_ptr<bool> done_;
    class QTimer* timer_;
};

template <typename W>
std::unique_ptr<ModalResponder> WhenModal(std::function<void(W*)> act) {
    return std::make_unique<ModalResponder>([](QWidget* w) { return qobject_cast<W*>(w) != nullptr; },
                                            [act](QWidget* w) { act(qobject_cast<W*>(w)); });
}

// Answers the next message box with the button of this text and keeps the box's text.
std::unique_ptr<ModalResponder> AnswerMessage(const QString& button, QString* text = nullptr);
// Every message box, answered with the button text, its texts collected.
class MessageLog {
public:
    explicit MessageLog(QString button = QStringLiteral("OK"));
    // Answers each box with the first of these buttons that it has.
    explicit MessageLog(QStringList buttons);
    ~MessageLog();
    QStringList texts;

private:
    QStringList buttons_;
    class QTimer* timer_;
};

void ClickButton(QWidget* dialog, const QString& text);
// Lets the event loop run until pred holds or timeoutMs passes.
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 5000);

// A program directory, a settings store and a set of options pointing at them.
class ShellFixture {
public:
    ShellFixture();
    // Stores the language so that start-up does not ask; -1 leaves the store empty.
    void StoreLanguage(int language);
    void StoreValue(const std::string& key, const std::string& value);
    std::unique_ptr<ShellApp> MakeApp();
    // A German program started with these entries in its AUTOSTRT.INI; null when start-up failed.
    std::unique_ptr<ShellApp> StartWithSet(const std::vector<app::CElement>& entries);
    std::filesystem::path ProgramDir() const { return dir_.path() / "prog"; }
    std::filesystem::path SettingsPath() const { return dir_.path() / "conf" / "Vaultra Station.conf"; }
    std::filesystem::path Dir() const { return dir_.path(); }

    ShellOptions options;
    QString chosenFolder;
    QString chosenSetFile;

private:
    vaultra::testing::TempDir dir_;
};

// A German program started with a set of these entries, its run timer stopped so that the test drives the
// passes itself; every status text collected in shown.
class WindowTest : public ::testing::Test {
protected:
    void Open(const std::vector<app::CElement>& entries);
    // Starts plcsim s7 --demo and opens a set of one S7-RFC1006 entry "Demo" that reaches it, backed up
    // into the test's directory; null (with a test failure) when the simulator does not start.
    std::unique_ptr<sim::testing::PlcsimProcess> OpenWithDemoPlc();

    ShellFixture f;
    QStringList shown;
    std::unique_ptr<ShellApp> app;
    MainWindow* w = nullptr;
};

// One entry of each interface with a name and an address of its kind.
app::CElement MakeEntry(app::InterfaceKind kind, const std::string& name);
// Writes a set of these entries into a file.
void WriteSet(const std::filesystem::path& path, const std::vector<app::CElement>& entries);

}  // namespace vaultra::shell::testing
