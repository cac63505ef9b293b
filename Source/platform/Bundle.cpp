#include "Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

const QString kResources = QStringLiteral("Resources");
const QString kFolderSuffix = QStringLiteral(".app");

QString &mainBundleOverride() {
    static QString path;
    return path;
}

QString runningProgramFolder() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Before the application object exists Qt cannot tell; Linux keeps the answer here.
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
}

bool leadsOutOfItsFolder(const QString &fileName) {
    return fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || fileName == QLatin1String(".") ||
           fileName == QLatin1String("..");
}

} // namespace

Bundle::Bundle(QString path)
    : m_bundlePath(QDir::cleanPath(QFileInfo(path).absoluteFilePath())) {}

Bundle Bundle::mainBundle() {
    const QString &path = mainBundleOverride();
    return Bundle(path.isEmpty() ? runningProgramFolder() : path);
}

void Bundle::setMainBundlePath(const QString &path) {
    mainBundleOverride() = path;
}

QString Bundle::resourcePath() const {
    return m_bundlePath + QLatin1Char('/') + kResources;
}

QString Bundle::enclosingBundlePath() const {
    return QDir::cleanPath(m_bundlePath + QStringLiteral("/../.."));
}

QString Bundle::pathForResource(const QString &name, const QString &type) const {
    const QString fileName = type.isEmpty() ? name : name + QLatin1Char('.') + type;
    if (leadsOutOfItsFolder(fileName))
        return {};
    QStringList folders{resourcePath()};
    const QFileInfo self(m_bundlePath);
    if (self.dir().dirName() == kResources)
        folders << self.absolutePath();
    for (const QString &folder : folders) {
        const QString path = folder + QLatin1Char('/') + fileName;
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

QVariantMap Bundle::infoDictionary() const {
    QString name = QFileInfo(m_bundlePath).fileName();
    if (name.endsWith(kFolderSuffix))
        name.chop(kFolderSuffix.size());
    return {
        {QStringLiteral("CFBundleName"), name},
        {QStringLiteral("CFBundleVersion"), QStringLiteral(TINDRAL_VERSION)},
        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral(TINDRAL_VERSION)},
    };
}
