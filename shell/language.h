// The program's language: German is its own; English comes from the catalogue "vaultra_en.qm" beside
// the program, loaded on first use and kept. Choosing a language takes effect at once in every window.
#pragma once

#include <QDialog>
#include <QRadioButton>
#include <QString>
#include <QTranslator>
#include <memory>

namespace vaultra::shell {

class Language {
public:
    explicit Language(QString catalogueDirectory) : directory_(std::move(catalogueDirectory)) {}
    ~Language();

    // 0 German, 1 English. False when the English catalogue cannot be loaded (German stays).
    bool Select(int language);
    int Current() const { return current_; }

private:
    QString directory_;
    std::unique_ptr<QTranslator> english_;
    bool installed_ = false;
    int current_ = -1;
};

// "Sprachauswahl/Language selection": the two languages as radio buttons, the current one chosen.
class LanguageDialog : public QDialog {
    Q_OBJECT
public:
    LanguageDialog(int current, QWidget* parent = nullptr);
    // 0 or 1; -1 while none is chosen.
    int Choice() const;
    QRadioButton* Button(int language) const { return language == 0 ? german_ : english_; }

public Q_SLOTS:
    void accept() override;

private:
    QRadioButton* german_;
    QRadioButton* english_;
};

}  // namespace vaultra::shell
