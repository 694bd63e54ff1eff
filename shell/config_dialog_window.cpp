#include "shell/config_dialog_window.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <cstdlib>

#include "platform/serial.h"
#include "shell/dialog_buttons.h"
#include "shell/window_front_end.h"

namespace vaultra::shell {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Serial port n (COM n): the device named by $VAULTRA_COM<n> when set, else /dev/ttyS<n-1>, as the
// drivers find it.
std::string SerialPortDevice(int n) {
    const std::string variable = "VAULTRA_COM" + std::to_string(n);
    const char* redirected = std::getenv(variable.c_str());
    if (redirected != nullptr && *redirected != '\0') {
        return redirected;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace

std::vector<std::string> FreeSerialPorts() {
    std::vector<std::string> ports;
    for (int n = 1; n <= 16; ++n) {
        // Opened and closed again at once: a port in use by another program is not offered.
        if (platform::SerialDevice::Open(SerialPortDevice(n))) {
            ports.push_back("COM" + std::to_string(n));
        }
    }
    return ports;
}

ConfigDialogWindow::ConfigDialogWindow(const app::ConfigDialogValues& v,
                                       const std::vector<std::string>& ports,
                                       const std::vector<std::string>& adapters, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Konfiguration"));
    auto* grid = new QGridLayout(this);
    port_ = new QComboBox(this);
    for (const std::string& p : ports) {
        port_->addItem(Q(p));
    }
    port_->setCurrentIndex(port_->findText(Q(v.portText)));
    adapter_ = new QComboBox(this);
    for (const std::string& a : adapters) {
        adapter_->addItem(Q(a));
    }
    adapter_->setCurrentIndex(adapter_->findText(Q(v.adapterName)));
    directory_ = new QLineEdit(Q(v.directory), this);
    browse_ = new QPushButton(QStringLiteral("..."), this);
    retry_ = new QLineEdit(QString::number(v.retryMinutes), this);
    retry_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), retry_));
    stopPlc_ = new QCheckBox(tr("AG stoppen zum Sichern/Rücksichern"), this);
    stopPlc_->setChecked(v.stopPlc);
    skipSystemBlocks_ = new QCheckBox(tr("Keine SFC/SFB sichern bei S7"), this);
    skipSystemBlocks_->setChecked(v.skipSystemBlocks);
    noWriteBack_ = new QCheckBox(tr("Kein Zurückschreiben"), this);
    noWriteBack_->setChecked(v.noWriteBack);

    grid->addWidget(new QLabel(tr("Schnittstelle:"), this), 0, 0);
    grid->addWidget(port_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Adapter:"), this), 1, 0);
    grid->addWidget(adapter_, 1, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Verzeichnis:"), this), 2, 0);
    grid->addWidget(directory_, 2, 1);
    grid->addWidget(browse_, 2, 2);
    auto* retryRow = new QHBoxLayout;
    retryRow->addWidget(new QLabel(tr("Wiederholungsversuch alle"), this));
    retryRow->addWidget(retry_);
    retryRow->addWidget(new QLabel(tr("min"), this));
    grid->addLayout(retryRow, 3, 0, 1, 3);
    grid->addWidget(stopPlc_, 4, 0, 1, 3);
    grid->addWidget(skipSystemBlocks_, 5, 0, 1, 3);
    grid->addWidget(noWriteBack_, 6, 0, 1, 3);
    auto* buttons = OkCancelButtons(this, tr("OK"), tr("Abbrechen"));
    grid->addWidget(buttons, 7, 0, 1, 3);

    chooseFolder = [](QWidget* parent, const QString& title) {
        return QFileDialog::getExistingDirectory(parent, title);
    };
    connect(browse_, &QPushButton::clicked, this, &ConfigDialogWindow::Browse);
}

void ConfigDialogWindow::Browse() {
    const QString folder = chooseFolder(this, tr("Bitte wählen sie einen Ordner aus:"));
    if (!folder.isEmpty()) {
        directory_->setText(Q(app::ChosenFolderText(folder.toStdString())));
    }
}

app::ConfigDialogValues ConfigDialogWindow::Values() const {
    app::ConfigDialogValues v;
    v.portText = port_->currentText().toStdString();
    v.adapterName = adapter_->currentText().toStdString();
    v.directory = directory_->text().toStdString();
    bool ok = false;
    const qlonglong retry = retry_->text().toLongLong(&ok);
    v.retryMinutes = ok ? retry : 0;
    v.stopPlc = stopPlc_->isChecked();
    v.skipSystemBlocks = skipSystemBlocks_->isChecked();
    v.noWriteBack = noWriteBack_->isChecked();
    return v;
}

void ConfigDialogWindow::accept() {
    if (const auto message = app::ValidateConfigDialog(Values())) {
        AskOperator(this, Q(*message), app::MessageButtons::Ok);
        retry_->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace vaultra::shell
