#include "LoginItems.h"

#include "DesktopEntry.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <unistd.h>

namespace {

const QString kEntryName = QStringLiteral("Tindral Menu");
const QString kEntryComment = QStringLiteral("The in-game clock of Kestmoor in the status area");
const QString kFileStem = QStringLiteral("tindral-menu");
const QString kFileSuffix = QStringLiteral(".desktop");
// tindral-menu.desktop, tindral-menu-2.desktop, ...
constexpr int kMostNames = 100;

QString entryFileName(int number) {
    return number == 1 ? kFileStem + kFileSuffix
                       : QStringLiteral("%1-%2%3").arg(kFileStem).arg(number).arg(kFileSuffix);
}

// A name is taken by anything at all, a dangling symbolic link included.
bool isTaken(const QString &path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

LoginItems::LoginItems(QString programPath, QString folder)
    : m_programPath(std::move(programPath))
    , m_folder(std::move(folder)) {}

QString LoginItems::autostartFolder() {
    // The session reads the variable itself, by the base-directory rules: only an absolute path counts.
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base =
        QDir::isAbsolutePath(configHome) ? configHome : QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/autostart"));
}

bool LoginItems::runsProgram(const QString &entryPath) const {
    const auto keys = DesktopEntry::readFile(entryPath);
    if (!keys || !keys->contains(QStringLiteral("Exec")))
        return false;
    const auto arguments = DesktopEntry::execArguments(keys->value(QStringLiteral("Exec")));
    return arguments && *arguments == QStringList{m_programPath};
}

QStringList LoginItems::listingEntries() const {
    QStringList entries;
    const QDir dir(m_folder);
    for (const QString &fileName :
         dir.entryList({QStringLiteral("*") + kFileSuffix}, QDir::Files, QDir::Name)) {
        const QString path = dir.filePath(fileName);
        if (runsProgram(path))
            entries << path;
    }
    return entries;
}

QString LoginItems::entryText() const {
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n");
    text += QStringLiteral("Name=") + DesktopEntry::escapeValue(kEntryName) + QLatin1Char('\n');
    text += QStringLiteral("Comment=") + DesktopEntry::escapeValue(kEntryComment) + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + DesktopEntry::execValue({m_programPath}) + QLatin1Char('\n');
    // A session skips the entry rather than report an error once the program is gone.
    text += QStringLiteral("TryExec=") + DesktopEntry::escapeValue(m_programPath) + QLatin1Char('\n');
    if (!m_iconPath.isEmpty())
        text += QStringLiteral("Icon=") + DesktopEntry::escapeValue(m_iconPath) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    return text;
}

QString LoginItems::writeEntry() {
    // Written in full under no name first, then given its name in one step that fails when the name is taken
    // (QFile::rename never replaces a file), so neither a half-written entry nor another's file is ever seen.
    QTemporaryFile temporary(m_folder + QStringLiteral("/.") + kFileStem + QStringLiteral("-XXXXXX"));
    const QByteArray text = entryText().toUtf8();
    if (!temporary.open() || temporary.write(text) != text.size() || !temporary.flush() ||
        ::fsync(temporary.handle()) != 0) {
        qWarning().noquote() << QStringLiteral("Cannot add %1 to the login items: cannot write in %2: %3")
                                    .arg(m_programPath, m_folder, temporary.errorString());
        return {};
    }
    temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                             QFileDevice::ReadOther);
    for (int number = 1; number <= kMostNames; ++number) {
        const QString path = QDir(m_folder).filePath(entryFileName(number));
        if (isTaken(path))
            continue;
        if (QFile::rename(temporary.fileName(), path)) {
            temporary.setAutoRemove(false);
            return path;
        }
        if (!isTaken(path)) {
            qWarning().noquote() << QStringLiteral("Cannot add %1 to the login items: cannot write %2")
                                        .arg(m_programPath, path);
            return {};
        }
    }
    qWarning().noquote() << QStringLiteral(
                                "Cannot add %1 to the login items: the names %2 to %3 in %4 are all taken")
                                .arg(m_programPath, entryFileName(1), entryFileName(kMostNames), m_folder);
    return {};
}

LoginItems::Result LoginItems::add() {
    // The session starts entries from wherever it stands: only a whole path names the program.
    if (!QDir::isAbsolutePath(m_programPath)) {
        qWarning().noquote() << QStringLiteral("Cannot add \"%1\" to the login items: not an absolute path")
                                    .arg(m_programPath);
        return Result::Failed;
    }
    if (!listingEntries().isEmpty())
        return Result::AlreadyListed;
    if (!QDir().mkpath(m_folder)) {
        qWarning().noquote() << QStringLiteral("Cannot add %1 to the login items: cannot make the folder %2")
                                    .arg(m_programPath, m_folder);
        return Result::Failed;
    }
    return writeEntry().isEmpty() ? Result::Failed : Result::Added;
}

LoginItems::Result LoginItems::remove() {
    bool found = false;
    bool failed = false;
    // Every entry that runs exactly this program is its login item, whoever named the file: leaving one would
    // start the companion again at the next login after the user quit it.
    for (const QString &path : listingEntries()) {
        found = true;
        QFile file(path);
        if (!file.remove()) {
            qWarning().noquote() << QStringLiteral(
                                        "Cannot take %1 out of the login items: cannot remove %2: %3")
                                        .arg(m_programPath, path, file.errorString());
            failed = true;
        }
    }
    if (failed)
        return Result::Failed;
    return found ? Result::Removed : Result::NotListed;
}
