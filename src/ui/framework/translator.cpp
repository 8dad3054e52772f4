#include "ui/framework/translator.h"

#include <QCoreApplication>
#include <QPointer>
#include <iostream>
#include <pugixml.hpp>

namespace keyrig::ui {
namespace {

QPointer<LanguageTranslator> installed;

}  // namespace

LanguageTranslator* LanguageTranslator::Installed() {
    return installed.data();
}

void LanguageTranslator::Install(LanguageTranslator* translator) {
    installed = translator;
    QCoreApplication::installTranslator(translator);
}

void LanguageTranslator::Uninstall() {
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        installed = nullptr;
    }
}

bool LanguageTranslator::LoadLanguage(const QString& path) {
    pugi::xml_document document;
    const pugi::xml_node language = path.isEmpty() ? pugi::xml_node()
                                    : document.load_file(path.toStdString().c_str())
                                        ? document.child("language")
                                        : pugi::xml_node();
    if (!language) {
        std::cerr << "keyrig: cannot read the language document " << path.toStdString() << '\n';
        return false;
    }
    QHash<QString, QString> texts;
    for (const pugi::xml_node text : language.children("text")) {
        const QString source = QString::fromUtf8(text.attribute("source").value());
        if (!source.isEmpty()) {
            texts.insert(source, QString::fromUtf8(text.child_value()));
        }
    }
    texts_ = std::move(texts);
    language_ = QString::fromUtf8(language.attribute("name").value()).left(64);
    // Installing it again is how Qt tells every widget that the texts changed.
    if (installed == this) {
        QCoreApplication::removeTranslator(this);
        QCoreApplication::installTranslator(this);
    }
    Q_EMIT languageLoaded(language_);
    return true;
}

QString LanguageTranslator::translate(const char* /*context*/, const char* sourceText,
                                      const char* /*disambiguation*/, int /*n*/) const {
    if (sourceText == nullptr) {
        return {};
    }
    return texts_.value(QString::fromUtf8(sourceText));
}

QString Tr(const char* source) {
    return QCoreApplication::translate("keyrig", source);
}

QString Tr(const QString& source) {
    const QByteArray text = source.toUtf8();
    return QCoreApplication::translate("keyrig", text.constData());
}

}  // namespace keyrig::ui
