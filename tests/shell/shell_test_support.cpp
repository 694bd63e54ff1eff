#include "tests/shell/shell_test_support.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdlib>

#include "app/backup_set_file.h"
#include "platform/settings_store.h"

namespace vaultra::shell::testing {

namespace fs = std::filesystem;

ModalResponder::ModalResponder(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> act)
    : done_(std::make_shared<bool>(false)), timer_(new QTimer) {
    auto done = done_;
    QTimer* timer = timer_;
    QObject::connect(timer_, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (*done || modal == nullptr || !modal->isVisible() || !matches(modal)) {
            return;
        }
        *done = true;
        timer->stop();
        act(modal);
    });
    timer_->start(5);
}

ModalResponder::~ModalResponder() {
    delete timer_;
}

void ClickButton(QWidget* dialog, const QString& text) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
        if (b->text() == text && b->isVisible()) {
            b->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
}

std::unique_ptr<ModalResponder> AnswerMessage(const QString& button, QString* text) {
    return WhenModal<QMessageBox>([button, text](QMessageBox* box) {
        if (text != nullptr) {
            *text = box->text();
        }
        ClickButton(box, button);
    });
}

MessageLog::MessageLog(QString button) : MessageLog(QStringList{std::move(button)}) {}

MessageLog::MessageLog(QStringList buttons) : buttons_(std::move(buttons)), timer_(new QTimer) {
    QObject::connect(timer_, &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        texts << box->text();
        for (const QString& button : buttons_) {
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == button) {
                    b->click();
                    return;
                }
            }
        }
        ADD_FAILURE() << "no answer for the box " << box->text().toStdString();
        box->reject();
    });
    timer_->start(5);
}

MessageLog::~MessageLog() {
    delete timer_;
}

bool WaitFor(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

ShellFixture::ShellFixture() {
    fs::create_directories(ProgramDir());
    // The English catalogue sits beside the program, as in build/bin.
    fs::copy_file(fs::path(SHELL_TEST_BIN_DIR) / "vaultra_en.qm", ProgramDir() / "vaultra_en.qm");
    options.settingsPath = SettingsPath();
    options.programDirectory = ProgramDir();
    options.libraryDirectories = {fs::path(SHELL_TEST_BIN_DIR)};
    options.adapters = [] {
        return std::vector<app::NetworkAdapter>{{"eth-test", "eth0", "127.0.0.1", "255.0.0.0"},
                                                {"wlan-test", "wlan0", "10.0.0.2", "255.255.255.0"}};
    };
    options.serialPorts = [] { return std::vector<std::string>{"COM1", "COM3"}; };
    options.chooseFolder = [this](QWidget*, const QString&) { return chosenFolder; };
    options.chooseSetFile = [this](QWidget*, bool) { return chosenSetFile; };
}

void ShellFixture::StoreLanguage(int language) {
    platform::SettingsStore store(SettingsPath());
    store.Load();
    store.SetInt("Settings", "Language", language);
    store.Save();
}

void ShellFixture::StoreValue(const std::string& key, const std::string& value) {
    platform::SettingsStore store(SettingsPath());
    store.Load();
    store.SetString("Settings", key, value);
    store.Save();
}

std::unique_ptr<ShellApp> ShellFixture::MakeApp() {
    return std::make_unique<ShellApp>(options);
}

std::unique_ptr<ShellApp> ShellFixture::StartWithSet(const std::vector<app::CElement>& entries) {
    StoreLanguage(kGerman);
    WriteSet(ProgramDir() / "AUTOSTRT.INI", entries);
    auto app = MakeApp();
    if (!app->Start()) {
        return nullptr;
    }
    return app;
}

void WindowTest::Open(const std::vector<app::CElement>& entries) {
    app = f.StartWithSet(entries);
    ASSERT_TRUE(app);
    w = app->Window();
    w->RunTimer().stop();
    QObject::connect(&app->Ui(), &WindowFrontEnd::StatusShown, w, [this](const QString& t) { shown << t; });
}

std::unique_ptr<sim::testing::PlcsimProcess> WindowTest::OpenWithDemoPlc() {
    std::string error;
    auto plc = sim::testing::PlcsimProcess::Start({"s7", "--demo", "--iso-port", "0"}, &error);
    EXPECT_TRUE(plc) << error;
    if (!plc) {
        return nullptr;
    }
    setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*plc->IsoPort()).c_str(), 1);
    app::CElement entry = MakeEntry(app::InterfaceKind::S7Rfc1006, "Demo");
    entry.address = {127, 0, 0, 1, 2, 0};
    entry.password.clear();
    Open({entry});
    if (app) {
        app->Station().settings.backupDirectory = f.Dir().string() + "/";
    }
    return plc;
}

app::CElement MakeEntry(app::InterfaceKind kind, const std::string& name) {
    app::CElement e;
    e.name = name;
    e.flags =
        static_cast<uint16_t>(app::InterfaceBit(kind) | static_cast<uint16_t>(app::IntervalKind::Never));
    e.address = {192, 168, 0, 10, 2, 0};
    e.password = "geheim";
    e.fileName = app::IsS7Interface(kind) ? "ANLAGE.S7P" : "ANLAGE.QRF";
    e.blockList = " ";
    return e;
}

void WriteSet(const fs::path& path, const std::vector<app::CElement>& entries) {
    app::Station station;
    station.settings.backupDirectory = "/daten/";
    for (const app::CElement& e : entries) {
        station.AddEntry(e);
    }
    ASSERT_TRUE(app::SaveBackupSet(station, path));
}

}  // namespace vaultra::shell::testing
