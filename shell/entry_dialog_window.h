// The entry dialog ("Eintrag") as a window: every field of an entry, the checks when a field is left,
// the row of the chosen interval kind, and the checks on OK. The rules themselves are the engine's.
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <array>
#include <vector>

#include "app/entry_dialog.h"

namespace vaultra::shell {

class EntryDialogWindow : public QDialog {
    Q_OBJECT
public:
    EntryDialogWindow(const app::EntryDialogValues& values, QWidget* parent = nullptr);

    // The values as they stand in the widgets.
    app::EntryDialogValues Values() const;

    // Widgets by role, for the tests and the screenshots.
    QComboBox* InterfaceList() const { return interface_; }
    QLineEdit* NameField() const { return name_; }
    QLineEdit* AddressField() const { return address_; }
    QLineEdit* PasswordField() const { return password_; }
    QLineEdit* FileNameField() const { return fileName_; }
    QPlainTextEdit* BlockListField() const { return blockList_; }
    QRadioButton* KindButton(int kind) const { return kinds_[static_cast<std::size_t>(kind)]; }
    QRadioButton* ModeButton(int mode) const { return modes_[static_cast<std::size_t>(mode)]; }
    QComboBox* WeekdayList() const { return weekday_; }
    QLineEdit* EveryHours() const { return everyHours_; }
    QLineEdit* MonthlyDay() const { return monthlyDay_; }
    QLineEdit* TriggerHours() const { return triggerHours_; }
    QLineEdit* BackupBitField() const { return backupBit_; }
    QLineEdit* RestoreBitField() const { return restoreBit_; }
    QLineEdit* NameOperandField() const { return nameOperand_; }
    // The widgets of the row of a kind 0..3 (empty for the others).
    const std::vector<QWidget*>& RowWidgets(int kind) const { return rows_[static_cast<std::size_t>(kind)]; }
    const std::vector<QWidget*>& TriggerWidgets() const { return triggerFields_; }

    // The field checks, as run when the operator leaves a field.
    void LeaveAddress();
    void LeaveFileName();
    void LeaveBlockList();
    void LeaveOperand(QLineEdit* field);

public Q_SLOTS:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildHead();
    QWidget* BuildSchedule();
    QWidget* BuildTrigger();
    QWidget* BuildBlocks();
    QLineEdit* NumberField(qint64 value);
    void Show(const app::EntryDialogValues& v);
    void OnKindClicked(int kind);
    void OnInterfaceChosen(int index);
    void UpdateRows();
    // The operands' normal forms, where they are valid; OK refuses the others with their message.
    void NormaliseOperands();
    void Tell(const std::string& message, QWidget* focus);

    int kind_;
    bool checking_ = false;
    QLineEdit* name_;
    QComboBox* interface_;
    QLineEdit* address_;
    QLineEdit* password_;
    QLineEdit* fileName_;
    QButtonGroup* kindGroup_;
    std::array<QRadioButton*, 6> kinds_{};
    QLineEdit *everyHours_, *everyMinutes_, *dailyHour_, *dailyMinute_;
    QComboBox* weekday_;
    QLineEdit *weeklyHour_, *weeklyMinute_, *monthlyDay_, *monthlyHour_, *monthlyMinute_;
    QLineEdit *triggerHours_, *triggerMinutes_, *triggerSeconds_;
    QLineEdit *backupBit_, *restoreBit_, *nameOperand_;
    std::array<QRadioButton*, 2> modes_{};
    QPlainTextEdit* blockList_;
    std::array<std::vector<QWidget*>, 4> rows_;
    std::vector<QWidget*> triggerFields_;
};

}  // namespace vaultra::shell
