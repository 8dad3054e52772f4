// Translations from the resource folder's "language" documents:
//
//     <language name="cn">
//         <text source="Warning">警告</text>
//     </language>
//
// Every text the program shows is an English source text looked up here; a text the language
// does not list is shown as it is. The program keeps one translator installed for its whole run
// and loads another language into it; Qt then sends every widget a LanguageChange.
#pragma once

#include <QHash>
#include <QString>
#include <QTranslator>

namespace keyrig::ui {

class LanguageTranslator final : public QTranslator {
    Q_OBJECT

  public:
    using QTranslator::QTranslator;

    // The translator start-up installed, or null before that.
    static LanguageTranslator* Installed();
    // Installs `translator` in the application; it stays the program's until Uninstall().
    static void Install(LanguageTranslator* translator);
    static void Uninstall();

    // Reads the "language" element of the document at `path` and, when it reads, makes it this
    // translator's language and announces the change to every widget. False, with the language
    // unchanged and one line on standard error, when the document cannot be read.
    bool LoadLanguage(const QString& path);

    // The "name" of the language in use, empty before the first one.
    const QString& language() const { return language_; }

    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override;
    // Qt announces a translator only when it is not empty; ours is never, so that a switch to a
    // language that translates nothing (English) still reaches every widget.
    bool isEmpty() const override { return false; }

  Q_SIGNALS:
    void languageLoaded(const QString& name);

  private:
    QString language_;
    QHash<QString, QString> texts_;
};

// `source` in the current language.
QString Tr(const char* source);
QString Tr(const QString& source);

}  // namespace keyrig::ui
