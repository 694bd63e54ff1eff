#include "shell/entry_dialog_window.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/element.h"
#include "shell/dialog_buttons.h"
#include "shell/window_front_end.h"

namespace vaultra::shell {

namespace {

const std::array<const char*, 7> kWeekdays = {"Son", "Mon", "Die", "Mit", "Don", "Fre", "Sam"};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string S(const QString& text) {
    return text.toStdString();
}

// An empty or unparsable number is out of every range, so OK refuses it with the range message.
int64_t Number(const QLineEdit* field) {
    bool ok = false;
    const qlonglong value = field->text().toLongLong(&ok);
    return ok ? value : -1;
}

QLabel* Label(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

}  // namespace

EntryDialogWindow::EntryDialogWindow(const app::EntryDialogValues& values, QWidget* parent)
    : QDialog(parent), kind_(values.kind) {
    setWindowTitle(tr("Eintrag"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildHead());
    auto* middle = new QHBoxLayout;
    middle->addWidget(BuildSchedule());
    middle->addWidget(BuildTrigger());
    layout->addLayout(middle);
    layout->addWidget(BuildBlocks());
    auto* buttons = OkCancelButtons(this, tr("OK"), tr("Abbrechen"));
    layout->addWidget(buttons);
    Show(values);
    UpdateRows();
}

QLineEdit* EntryDialogWindow::NumberField(qint64 value) {
    auto* field = new QLineEdit(QString::number(value), this);
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), field));
    field->setMaximumWidth(48);
    return field;
}

QWidget* EntryDialogWindow::BuildHead() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    name_ = new QLineEdit(box);
    name_->setMaxLength(static_cast<int>(app::kNameWidth));
    interface_ = new QComboBox(box);
    address_ = new QLineEdit(box);
    password_ = new QLineEdit(box);
    password_->setMaxLength(static_cast<int>(app::kPasswordWidth));
    fileName_ = new QLineEdit(box);
    grid->addWidget(Label(tr("Name:"), box), 0, 0);
    grid->addWidget(name_, 0, 1);
    grid->addWidget(interface_, 0, 2);
    grid->addWidget(Label(tr("Adresse:"), box), 1, 0);
    grid->addWidget(address_, 1, 1, 1, 2);
    grid->addWidget(Label(tr("Passwort:"), box), 2, 0);
    grid->addWidget(password_, 2, 1, 1, 2);
    grid->addWidget(Label(tr("Dateiname:"), box), 3, 0);
    grid->addWidget(fileName_, 3, 1, 1, 2);
    connect(interface_, &QComboBox::activated, this, &EntryDialogWindow::OnInterfaceChosen);
    for (QLineEdit* field : {address_, fileName_}) {
        field->installEventFilter(this);
    }
    return box;
}

QWidget* EntryDialogWindow::BuildSchedule() {
    auto* group = new QGroupBox(tr("Intervall der Sicherung"), this);
    auto* grid = new QGridLayout(group);
    kindGroup_ = new QButtonGroup(this);
    const QString labels[] = {tr("alle"),         tr("täglich um"), tr("wöchentlich am"),
                              tr("monatlich am"), tr("nie"),        tr("SPS-Trigger")};
    for (int k = 0; k < 6; ++k) {
        kinds_[static_cast<std::size_t>(k)] = new QRadioButton(labels[k], group);
        kindGroup_->addButton(kinds_[static_cast<std::size_t>(k)], k);
        grid->addWidget(kinds_[static_cast<std::size_t>(k)], k, 0);
    }
    connect(kindGroup_, &QButtonGroup::idClicked, this, &EntryDialogWindow::OnKindClicked);
    everyHours_ = NumberField(0);
    everyMinutes_ = NumberField(0);
    dailyHour_ = NumberField(0);
    dailyMinute_ = NumberField(0);
    weekday_ = new QComboBox(group);
    for (const char* day : kWeekdays) {
        weekday_->addItem(tr(day), QString::fromLatin1(day));
    }
    weeklyHour_ = NumberField(0);
    weeklyMinute_ = NumberField(0);
    monthlyDay_ = NumberField(0);
    monthlyHour_ = NumberField(0);
    monthlyMinute_ = NumberField(0);
    const auto row = [&](int r, std::vector<QWidget*> widgets) {
        for (std::size_t c = 0; c < widgets.size(); ++c) {
            grid->addWidget(widgets[c], r, static_cast<int>(c) + 1);
        }
        rows_[static_cast<std::size_t>(r)] = std::move(widgets);
    };
    row(0, {everyHours_, Label(tr("h"), group), everyMinutes_, Label(tr("min"), group)});
    row(1, {dailyHour_, Label(tr("h"), group), dailyMinute_, Label(tr("min"), group)});
    row(2, {weekday_, Label(tr("um"), group), weeklyHour_, Label(tr("h"), group), weeklyMinute_,
            Label(tr("min"), group)});
    row(3, {monthlyDay_, Label(tr("um"), group), monthlyHour_, Label(tr("h"), group), monthlyMinute_,
            Label(tr("min"), group)});
    return group;
}

QWidget* EntryDialogWindow::BuildTrigger() {
    auto* group = new QGroupBox(tr("SPS-Trigger"), this);
    auto* grid = new QGridLayout(group);
    triggerHours_ = NumberField(0);
    triggerMinutes_ = NumberField(0);
    triggerSeconds_ = NumberField(0);
    backupBit_ = new QLineEdit(group);
    restoreBit_ = new QLineEdit(group);
    nameOperand_ = new QLineEdit(group);
    grid->addWidget(Label(tr("Intervall:"), group), 0, 0);
    auto* interval = new QHBoxLayout;
    interval->addWidget(triggerHours_);
    interval->addWidget(Label(tr("h"), group));
    interval->addWidget(triggerMinutes_);
    interval->addWidget(Label(tr("min"), group));
    interval->addWidget(triggerSeconds_);
    interval->addWidget(Label(tr("sek"), group));
    grid->addLayout(interval, 0, 1);
    grid->addWidget(Label(tr("Backup-Bit:"), group), 1, 0);
    grid->addWidget(backupBit_, 1, 1);
    grid->addWidget(Label(tr("Restore-Bit:"), group), 2, 0);
    grid->addWidget(restoreBit_, 2, 1);
    grid->addWidget(Label(tr("Name (S7-String):"), group), 3, 0);
    grid->addWidget(nameOperand_, 3, 1);
    for (QLineEdit* field : {backupBit_, restoreBit_, nameOperand_}) {
        field->setMaxLength(static_cast<int>(app::kOperandTypedWidth));
        field->installEventFilter(this);
    }
    triggerFields_ = {triggerHours_, triggerMinutes_, triggerSeconds_, backupBit_, restoreBit_, nameOperand_};
    return group;
}

QWidget* EntryDialogWindow::BuildBlocks() {
    auto* group = new QGroupBox(tr("Bausteine"), this);
    auto* grid = new QGridLayout(group);
    modes_[0] = new QRadioButton(tr("keinen dieser Bausteine sichern"), group);
    modes_[1] = new QRadioButton(tr("nur diese Bausteine sichern"), group);
    blockList_ = new QPlainTextEdit(group);
    blockList_->setFixedHeight(fontMetrics().height() * 4);
    blockList_->installEventFilter(this);
    grid->addWidget(modes_[0], 0, 0);
    grid->addWidget(modes_[1], 1, 0);
    grid->addWidget(blockList_, 0, 1, 2, 1);
    return group;
}

void EntryDialogWindow::Show(const app::EntryDialogValues& v) {
    name_->setText(Q(v.name));
    interface_->clear();
    for (const std::string_view label : app::kInterfaceLabels) {
        interface_->addItem(Q(std::string(label)));
    }
    interface_->setCurrentIndex(interface_->findText(Q(v.interfaceLabel)));
    address_->setText(Q(v.address));
    password_->setText(Q(v.password));
    fileName_->setText(Q(v.fileName));
    kind_ = v.kind;
    everyHours_->setText(QString::number(v.everyHours));
    everyMinutes_->setText(QString::number(v.everyMinutes));
    dailyHour_->setText(QString::number(v.dailyHour));
    dailyMinute_->setText(QString::number(v.dailyMinute));
    weekday_->setCurrentIndex(weekday_->findData(Q(v.weekday)));
    weeklyHour_->setText(QString::number(v.weeklyHour));
    weeklyMinute_->setText(QString::number(v.weeklyMinute));
    monthlyDay_->setText(QString::number(v.monthlyDay));
    monthlyHour_->setText(QString::number(v.monthlyHour));
    monthlyMinute_->setText(QString::number(v.monthlyMinute));
    triggerHours_->setText(QString::number(v.triggerHours));
    triggerMinutes_->setText(QString::number(v.triggerMinutes));
    triggerSeconds_->setText(QString::number(v.triggerSeconds));
    backupBit_->setText(Q(v.backupBit));
    restoreBit_->setText(Q(v.restoreBit));
    nameOperand_->setText(Q(v.nameOperand));
    modes_[v.blockMode == 1 ? 1 : 0]->setChecked(true);
    blockList_->setPlainText(Q(v.blockList));
}

app::EntryDialogValues EntryDialogWindow::Values() const {
    app::EntryDialogValues v;
    v.name = S(name_->text());
    v.interfaceLabel = S(interface_->currentText());
    v.address = S(address_->text());
    v.password = S(password_->text());
    v.fileName = S(fileName_->text());
    v.kind = kind_;
    v.everyHours = Number(everyHours_);
    v.everyMinutes = Number(everyMinutes_);
    v.dailyHour = Number(dailyHour_);
    v.dailyMinute = Number(dailyMinute_);
    v.weekday = weekday_->currentIndex() < 0 ? std::string() : S(weekday_->currentData().toString());
    v.weeklyHour = Number(weeklyHour_);
    v.weeklyMinute = Number(weeklyMinute_);
    v.monthlyDay = Number(monthlyDay_);
    v.monthlyHour = Number(monthlyHour_);
    v.monthlyMinute = Number(monthlyMinute_);
    v.triggerHours = Number(triggerHours_);
    v.triggerMinutes = Number(triggerMinutes_);
    v.triggerSeconds = Number(triggerSeconds_);
    v.backupBit = S(backupBit_->text());
    v.restoreBit = S(restoreBit_->text());
    v.nameOperand = S(nameOperand_->text());
    v.blockMode = modes_[1]->isChecked() ? 1 : 0;
    v.blockList = S(blockList_->toPlainText());
    return v;
}

void EntryDialogWindow::UpdateRows() {
    for (int k = 0; k < 4; ++k) {
        for (QWidget* w : rows_[static_cast<std::size_t>(k)]) {
            w->setVisible(k == kind_);
            w->setEnabled(k == kind_);
        }
    }
    for (QWidget* w : triggerFields_) {
        w->setEnabled(kind_ == static_cast<int>(app::IntervalKind::PlcTrigger));
    }
    if (kind_ >= 0 && kind_ < 6) {
        kinds_[static_cast<std::size_t>(kind_)]->setChecked(true);
    }
    const QString label = interface_->currentText();
    interface_->clear();
    for (const std::string_view l : app::kInterfaceLabels) {
        interface_->addItem(Q(std::string(l)));
    }
    interface_->setCurrentIndex(interface_->findText(label));
}

void EntryDialogWindow::Tell(const std::string& message, QWidget* focus) {
    AskOperator(this, Q(message), app::MessageButtons::Ok);
    if (focus != nullptr) {
        focus->setFocus();
    }
}

void EntryDialogWindow::OnKindClicked(int kind) {
    app::EntryDialogValues v = Values();
    const auto refused = app::ChooseIntervalKind(v, kind);
    kind_ = v.kind;
    if (refused) {
        kinds_[static_cast<std::size_t>(kind_)]->setChecked(true);
        Tell(*refused, nullptr);
    }
    UpdateRows();
}

void EntryDialogWindow::OnInterfaceChosen(int index) {
    app::EntryDialogValues v = Values();
    const auto message = app::ChooseInterface(v, S(interface_->itemText(index)));
    kind_ = v.kind;
    UpdateRows();
    if (message) {
        Tell(*message, nullptr);
    }
}

void EntryDialogWindow::LeaveAddress() {
    app::EntryDialogValues v = Values();
    if (const auto message = app::LeaveAddressField(v)) {
        Tell(*message, address_);
        return;
    }
    address_->setText(Q(v.address));
}

void EntryDialogWindow::LeaveFileName() {
    app::EntryDialogValues v = Values();
    app::LeaveFileNameField(v);
    fileName_->setText(Q(v.fileName));
}

void EntryDialogWindow::LeaveBlockList() {
    app::EntryDialogValues v = Values();
    app::LeaveBlockListField(v);
    blockList_->setPlainText(Q(v.blockList));
}

void EntryDialogWindow::LeaveOperand(QLineEdit* field) {
    app::EntryDialogValues v = Values();
    std::optional<std::string> message;
    std::string* text = nullptr;
    if (field == backupBit_) {
        message = app::LeaveBackupBitField(v);
        text = &v.backupBit;
    } else if (field == restoreBit_) {
        message = app::LeaveRestoreBitField(v);
        text = &v.restoreBit;
    } else {
        message = app::LeaveNameOperandField(v);
        text = &v.nameOperand;
    }
    if (message) {
        Tell(*message, field);
        return;
    }
    field->setText(Q(*text));
}

void EntryDialogWindow::NormaliseOperands() {
    app::EntryDialogValues v = Values();
    if (!app::LeaveBackupBitField(v)) {
        backupBit_->setText(Q(v.backupBit));
    }
    if (!app::LeaveRestoreBitField(v)) {
        restoreBit_->setText(Q(v.restoreBit));
    }
    if (!app::LeaveNameOperandField(v)) {
        nameOperand_->setText(Q(v.nameOperand));
    }
}

bool EntryDialogWindow::eventFilter(QObject* watched, QEvent* event) {
    // The checks run when a field loses the focus to another field of this dialog; a message box of
    // their own takes the focus too, which must not check the field again.
    if (event->type() == QEvent::FocusOut && !checking_ && isVisible()) {
        checking_ = true;
        if (watched == address_) {
            LeaveAddress();
        } else if (watched == fileName_) {
            LeaveFileName();
        } else if (watched == blockList_) {
            LeaveBlockList();
        } else if (watched == backupBit_ || watched == restoreBit_ || watched == nameOperand_) {
            LeaveOperand(static_cast<QLineEdit*>(watched));
        }
        checking_ = false;
    }
    return QDialog::eventFilter(watched, event);
}

void EntryDialogWindow::accept() {
    // The normalised forms are what is stored, whether or not the field was left before OK.
    checking_ = true;
    LeaveFileName();
    LeaveBlockList();
    NormaliseOperands();
    checking_ = false;
    if (const auto message = app::ValidateEntryDialog(Values())) {
        Tell(*message, nullptr);
        return;
    }
    QDialog::accept();
}

}  // namespace vaultra::shell
