#pragma once

#include <QString>
#include <QVariantMap>

// An application folder: the folder that holds a program's executable, with the program's pictures and other
// resources in Resources/ inside it. Tindral's is Tindral.app; the companion's lies inside it, in
// Tindral.app/Resources/TindralMenu.app, and shares the resources of the folder it lies in. Only relative
// places are used, so a copy of Tindral.app anywhere works as the build tree's does.
class Bundle {
public:
    explicit Bundle(QString path);

    // The running program's folder (where its executable lies, symbolic links resolved), or the folder set
    // with setMainBundlePath().
    static Bundle mainBundle();
    // Makes mainBundle() answer for another folder, for tests; an empty path goes back to the program's own.
    static void setMainBundlePath(const QString &path);

    QString bundlePath() const { return m_bundlePath; }
    // The folder's own Resources/.
    QString resourcePath() const;
    // The application folder whose Resources/ holds this one (for the companion: Tindral.app), found by going
    // up two levels; whether anything is there is for the caller to find out.
    QString enclosingBundlePath() const;

    // The file or folder NAME.TYPE, or NAME alone when type is empty, among the resources: in the folder's
    // own Resources/ first, then, for a folder that lies in a Resources/ folder, in that one. Empty when
    // there is none, and for names that would lead out of the resources ("..", "/").
    QString pathForResource(const QString &name, const QString &type = {}) const;

    // "CFBundleName": the folder's name without ".app"; "CFBundleVersion" and "CFBundleShortVersionString":
    // the version this program was built as.
    QVariantMap infoDictionary() const;

private:
    QString m_bundlePath;
};
