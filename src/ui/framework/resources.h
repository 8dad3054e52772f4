// The resource folder beside the program: every named resource ("LAYOUT:XML_MAINWND",
// "translator:lang_en", "main:img_keboard_normal_png") is a file that the folder's index names.
// Names are compared without regard to letter case, as layouts and code spell them differently.
#pragma once

#include <QHash>
#include <QString>

namespace keyrig::ui {

class ResourceIndex final {
  public:
    // The index the program's windows use.
    static ResourceIndex& Current();

    // Reads FOLDER/index.xml. False, with an empty index and one line on standard error naming
    // the file, when it cannot be read.
    bool Load(const QString& folder);

    // The absolute path of a resource given as "TYPE:NAME", or an empty string (with one line on
    // standard error) when the index has no such resource.
    QString Path(const QString& resourceName) const;
    bool Contains(const QString& resourceName) const;

    // The resource folder itself, and the folder that holds it: relative file names in layouts
    // resolve against the latter, as they would against the program directory.
    const QString& folder() const { return folder_; }
    QString baseDirectory() const;

  private:
    QString folder_;
    QHash<QString, QString> files_;  // lower-case resource name -> path inside the folder
};

}  // namespace keyrig::ui
