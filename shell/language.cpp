#include "shell/language.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/text_catalogue.h"
#include "shell/dialog_buttons.h"
#include "shell/user_settings.h"

namespace vaultra::shell {

Language::~Language() {
    if (installed_) {
        QCoreApplication::removeTranslator(english_.get());
    }
}

bool Language::Select(int language) {
    if (language == kEnglish) {
        if (!english_) {
            auto catalogue = std::make_unique<QTranslator>();
            if (!catalogue->load(QStringLiteral("vaultra_en"), directory_)) {
                return false;
            }
            english_ = std::move(catalogue);
        }
        if (!installed_) {
            // Installing sends every widget a language change, so open windows retranslate themselves.
            QCoreApplication::installTranslator(english_.get());
            installed_ = true;
        }
    } else if (installed_) {
        QCoreApplication::removeTranslator(english_.get());
        installed_ = false;
    }
    current_ = language;
    // The engine's texts (status line, messages, list columns) follow the window's language.
    app::SetLanguage(language == kEnglish ? app::Language::English : app::Language::German);
    return true;
}

LanguageDialog::LanguageDialog(int current, QWidget* parent) : QDialog(parent) {
    // Both languages on every text: the operator may not read the current one.
    setWindowTitle(QStringLiteral("Sprachauswahl/Language selection"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Bitte wählen Sie die Sprache aus\nPlease select the desired language"), this));
    auto* group = new QGroupBox(QStringLiteral("Sprache/Language"), this);
    auto* groupLayout = new QVBoxLayout(group);
    german_ = new QRadioButton(QStringLiteral("Deutsch / German"), group);
    english_ = new QRadioButton(QStringLiteral("Englisch / English"), group);
    groupLayout->addWidget(german_);
    groupLayout->addWidget(english_);
    german_->setChecked(current == kGerman);
    english_->setChecked(current == kEnglish);
    layout->addWidget(group);
    auto* buttons = OkCancelButtons(this, QStringLiteral("OK"), QStringLiteral("Abbrechen"));
    layout->addWidget(buttons);
}

int LanguageDialog::Choice() const {
    if (german_->isChecked()) {
        return kGerman;
    }
    return english_->isChecked() ? kEnglish : kNoLanguage;
}

void LanguageDialog::accept() {
    // OK without a choice chooses nothing: the dialog stays until a language is picked or it is cancelled.
    if (Choice() != kNoLanguage) {
        QDialog::accept();
    }
}

}  // namespace vaultra::shell
