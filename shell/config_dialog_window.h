// The configuration dialog ("Konfiguration") as a window: serial port, network adapter, backup directory
// with a folder browser, retry minutes and the three switches. The rules are the engine's.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "app/config_dialog.h"

namespace vaultra::shell {

class ConfigDialogWindow : public QDialog {
    Q_OBJECT
public:
    // ports: the free serial ports ("COM%d"); adapters: the adapter descriptions in the system's order.
    ConfigDialogWindow(const app::ConfigDialogValues& values, const std::vector<std::string>& ports,
                       const std::vector<std::string>& adapters, QWidget* parent = nullptr);

    app::ConfigDialogValues Values() const;

    // The folder browser; tests replace it. Returns the chosen folder, or an empty text when cancelled.
    std::function<QString(QWidget*, const QString& title)> chooseFolder;

    QComboBox* PortList() const { return port_; }
    QComboBox* AdapterList() const { return adapter_; }
    QLineEdit* DirectoryField() const { return directory_; }
    QLineEdit* RetryField() const { return retry_; }
    QPushButton* BrowseButton() const { return browse_; }
    QCheckBox* StopPlcBox() const { return stopPlc_; }
    QCheckBox* SkipSystemBlocksBox() const { return skipSystemBlocks_; }
    QCheckBox* NoWriteBackBox() const { return noWriteBack_; }

public Q_SLOTS:
    void accept() override;

private:
    void Browse();

    QComboBox* port_;
    QComboBox* adapter_;
    QLineEdit* directory_;
    QPushButton* browse_;
    QLineEdit* retry_;
    QCheckBox* stopPlc_;
    QCheckBox* skipSystemBlocks_;
    QCheckBox* noWriteBack_;
};

// The ports 1..16 that exist and can be opened now, as "COM%d".
std::vector<std::string> FreeSerialPorts();

}  // namespace vaultra::shell
