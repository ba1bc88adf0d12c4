// The real program on a real X server, driven by xdotool as a person drives it: choose the
// demo archive in the open dialog, open a folder with the keyboard, select all its files,
// extract them through the save dialog, check what lands on disk, and close with Escape.
//
// Needs Xvfb and xdotool; without them the test is skipped and says which one is missing.
// Run as `real_window_test --grab <window id> <file.png>` it saves a picture of one window of
// the display named by DISPLAY instead (the screenshot step, in a process of its own).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr int kStepTimeoutMs = 30000;  // generous: a busy two-core machine starts Qt slowly
constexpr int kExitTimeoutMs = 5000;

// ---- What the archive holds --------------------------------------------------------------

std::uint32_t ReadU32(const QByteArray& bytes, qsizetype at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

struct StoredEntry {
    QByteArray name;  // full internal path
    QByteArray stored;
    std::uint8_t type = 0;
    std::uint32_t realSize = 0;
};

// Reads the directory at the end of a DAT file: trailer, then entries of name length, name,
// type byte, real size, packed size and offset.
std::vector<StoredEntry> ReadArchive(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 8) return {};
    const std::uint32_t treeSize = ReadU32(bytes, bytes.size() - 8);
    const std::uint32_t dataSize = ReadU32(bytes, bytes.size() - 4);
    if (dataSize != static_cast<std::uint64_t>(bytes.size()) || treeSize < 4 ||
        treeSize > dataSize - 8) {
        return {};
    }
    std::vector<StoredEntry> entries;
    qsizetype at = dataSize - treeSize - 4;
    const qsizetype end = dataSize - 8;
    while (at + 17 <= end) {
        const std::uint32_t nameSize = ReadU32(bytes, at);
        if (at + 17 + static_cast<qsizetype>(nameSize) > end) return {};
        StoredEntry entry;
        entry.name = bytes.mid(at + 4, nameSize);
        entry.type = static_cast<std::uint8_t>(bytes[at + 4 + nameSize]);
        const qsizetype fields = at + 4 + nameSize + 1;
        entry.realSize = ReadU32(bytes, fields);
        const std::uint32_t packedSize = ReadU32(bytes, fields + 4);
        const std::uint32_t offset = ReadU32(bytes, fields + 8);
        if (static_cast<std::uint64_t>(offset) + packedSize > dataSize) return {};
        entry.stored = bytes.mid(offset, packedSize);
        entries.push_back(entry);
        at = fields + 12;
    }
    return entries;
}

// The files that extracting every entry of `folder` writes: zlib streams (78 DA) as ".gz"
// files with the fixed gzip header and the name in front, everything else unchanged.
QMap<QString, QByteArray> ExpectedFiles(const std::vector<StoredEntry>& entries,
                                        const QByteArray& folder) {
    static const QByteArray kGzipHeader("\x1F\x8B\x08\x08\x9F\xE8\xB7\x36\x02\x03", 10);
    QMap<QString, QByteArray> files;
    for (const StoredEntry& entry : entries) {
        const qsizetype slash = entry.name.lastIndexOf('\\');
        if (slash < 0 || entry.name.left(slash) != folder) continue;
        const QByteArray name = entry.name.mid(slash + 1);
        if (entry.stored.startsWith("\x78\xDA")) {
            files[QString::fromLatin1(name + ".gz")] =
                kGzipHeader + name + QByteArray(1, '\0') + entry.stored.mid(2);
        } else {
            files[QString::fromLatin1(name)] = entry.stored;
        }
    }
    return files;
}

// The files that unpacking every entry of `folder` writes: Type 1 entries inflated by zlib
// (through Qt's qUncompress, which wants the size in front), everything else unchanged.
QMap<QString, QByteArray> ExpectedUnpacked(const std::vector<StoredEntry>& entries,
                                           const QByteArray& folder) {
    QMap<QString, QByteArray> files;
    for (const StoredEntry& entry : entries) {
        const qsizetype slash = entry.name.lastIndexOf('\\');
        if (slash < 0 || entry.name.left(slash) != folder) continue;
        QByteArray content = entry.stored;
        if (entry.type == 1) {
            QByteArray sized(4, '\0');
            for (int i = 0; i < 4; ++i)
                sized[i] = static_cast<char>(entry.realSize >> (24 - 8 * i));
            content = qUncompress(sized + entry.stored);
        }
        files[QString::fromLatin1(entry.name.mid(slash + 1))] = content;
    }
    return files;
}

// The files that extracting the folder `top` and everything below it writes, by their paths
// relative to the destination, stored bytes wrapped as in ExpectedFiles.
QMap<QString, QByteArray> ExpectedBelow(const std::vector<StoredEntry>& entries,
                                        const QByteArray& top) {
    QMap<QString, QByteArray> files;
    for (const StoredEntry& entry : entries) {
        if (!entry.name.startsWith(top + '\\')) continue;
        const qsizetype slash = entry.name.lastIndexOf('\\');
        const QByteArray folder = entry.name.left(slash);
        const QString prefix = QString::fromLatin1(QByteArray(folder).replace('\\', '/')) + '/';
        const QMap<QString, QByteArray> one = ExpectedFiles({entry}, folder);
        for (auto it = one.cbegin(); it != one.cend(); ++it) files[prefix + it.key()] = it.value();
    }
    return files;
}

// Every file below `folder`, by its path relative to it.
QMap<QString, QByteArray> FilesBelow(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files[QDir(folder).relativeFilePath(path)] = file.readAll();
    }
    return files;
}

QMap<QString, QByteArray> FilesIn(const QString& folder) {
    QMap<QString, QByteArray> files;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(info.absoluteFilePath());
        if (file.open(QIODevice::ReadOnly)) files[info.fileName()] = file.readAll();
    }
    return files;
}

// ---- Processes -----------------------------------------------------------------------------

// Children get SIGTERM when this process dies, so a crashed test leaves no X server behind.
void DieWithParent(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

void Stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();  // Xvfb removes its lock file and socket on SIGTERM
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(100);
    }
    return true;
}

// An Xvfb server on the first display number that no other server holds.
class VirtualDisplay {
public:
    ~VirtualDisplay() { Stop(server_); }

    bool start() {
        const int first = 90 + static_cast<int>(QCoreApplication::applicationPid() % 50);
        for (int n = first; n < first + 60; ++n) {
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
            if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) ||
                QFileInfo::exists(socket)) {
                continue;
            }
            DieWithParent(server_);
            server_.setStandardErrorFile(QProcess::nullDevice());
            server_.setStandardOutputFile(QProcess::nullDevice());
            server_.start(QStringLiteral("Xvfb"),
                          {QStringLiteral(":%1").arg(n), QStringLiteral("-screen"),
                           QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                           QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            // Another server may take the number between the check and the start; Xvfb then
            // exits and the next number is tried.
            const auto settled = [&] {
                return server_.state() != QProcess::Running || QFileInfo::exists(socket);
            };
            if (server_.waitForStarted(kStepTimeoutMs) && WaitUntil(settled, kStepTimeoutMs) &&
                server_.state() == QProcess::Running) {
                name_ = QStringLiteral(":%1").arg(n);
                return true;
            }
            Stop(server_);
        }
        return false;
    }

    const QString& name() const { return name_; }

private:
    QProcess server_;
    QString name_;
};

struct Output {
    bool ok = false;
    QString text;
};

Output RunProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                  int timeoutMs = kStepTimeoutMs) {
    QProcess process;
    DieWithParent(process);
    process.setProcessEnvironment(env);
    process.start(program, args);
    Output out;
    if (!process.waitForStarted(timeoutMs) || !process.waitForFinished(timeoutMs)) {
        Stop(process);
        out.text = QStringLiteral("%1 %2: timed out").arg(program, args.join(' '));
        return out;
    }
    out.text = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    out.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!out.ok) out.text += QString::fromLocal8Bit(process.readAllStandardError());
    return out;
}

// ---- The test ------------------------------------------------------------------------------

class RealWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                GTEST_SKIP() << tool << " is not installed (Debian packages xvfb and xdotool; "
                             << "scripts/setup.sh installs them): no real window to drive";
            }
        }
        ASSERT_TRUE(home_.isValid());
        ASSERT_TRUE(display_.start()) << "no Xvfb display could be started";

        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert(QStringLiteral("DISPLAY"), display_.name());
        env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // Qt's own dialogs at scale 1, whatever desktop the test is started from: a desktop's
        // platform theme would bring its native file dialogs.
        for (const char* name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "WAYLAND_DISPLAY",
                                 "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "XDG_CURRENT_DESKTOP",
                                 "DESKTOP_SESSION", "KDE_FULL_SESSION"}) {
            env_.remove(QString::fromLatin1(name));
        }
        if (env_.contains(QStringLiteral("ASAN_OPTIONS"))) {
            ASSERT_NO_FATAL_FAILURE(quietenXLibraries());
        }
        // The file dialog remembers its state under the home folder: keep it in ours.
        env_.insert(QStringLiteral("HOME"), home_.path());
        env_.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
        env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.path());
        QFile::setPermissions(home_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // In a sanitizer build the X libraries, which are not instrumented, trip two checks:
    // libxkbcommon-x11 hands strndup() strings without a terminating zero, which strict string
    // checks take for an overflow, and libdbus keeps a buffer of the failed session-bus
    // connection to the end. The program's own code stays fully checked.
    void quietenXLibraries() {
        env_.insert(QStringLiteral("ASAN_OPTIONS"), env_.value(QStringLiteral("ASAN_OPTIONS")) +
                                                        QStringLiteral(":strict_string_checks=0"));
        QByteArray suppressions = "leak:libdbus-1.so\n";
        const QString lsanOptions = env_.value(QStringLiteral("LSAN_OPTIONS"));
        for (const QString& option : lsanOptions.split(':')) {
            if (!option.startsWith(QStringLiteral("suppressions="))) continue;
            QFile given(option.mid(static_cast<qsizetype>(std::strlen("suppressions="))));
            ASSERT_TRUE(given.open(QIODevice::ReadOnly)) << option.toStdString();
            suppressions += given.readAll();
        }
        const QString path = home_.filePath(QStringLiteral("lsan.supp"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(suppressions) > 0);
        env_.insert(QStringLiteral("LSAN_OPTIONS"),
                    lsanOptions + QStringLiteral(":suppressions=") + path);
    }

    void TearDown() override { Stop(app_); }  // the display goes with the fixture, after it

    Output xdotool(const QStringList& args) {
        return RunProgram(QStringLiteral("xdotool"), args, env_);
    }

    // Waits until a visible window has exactly `title`; returns its id, or nothing when the
    // time runs out or the program has ended.
    std::optional<QString> waitForWindow(const QString& title, int timeoutMs = kStepTimeoutMs) {
        std::optional<QString> found;
        WaitUntil(
            [&] {
                if (programEnded()) return true;
                const Output ids =
                    xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--name"), QStringLiteral(".")});
                for (const QString& id : ids.text.split('\n', Qt::SkipEmptyParts)) {
                    if (xdotool({QStringLiteral("getwindowname"), id}).text == title) {
                        found = id;
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return found;
    }

    bool visible(const QString& window) {
        const Output ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--name"), QStringLiteral(".")});
        return ids.text.split('\n', Qt::SkipEmptyParts).contains(window);
    }

    // Gives the window the keyboard and waits until the X server says it has it.
    void focus(const QString& window) {
        const Output out =
            xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        ASSERT_TRUE(out.ok) << out.text.toStdString();
    }
    void keys(const QStringList& names) {
        const Output out = xdotool(
            QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} +
            names);
        ASSERT_TRUE(out.ok) << out.text.toStdString();
    }
    void type(const QString& text) {
        const Output out = xdotool(
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
        ASSERT_TRUE(out.ok) << out.text.toStdString();
    }

    // Without an event loop QProcess learns of the child's end only when asked.
    bool programEnded() { return app_.state() == QProcess::NotRunning || app_.waitForFinished(0); }

    std::string programOutput() {
        std::string text = "program output:\n" + app_.readAllStandardError().toStdString();
        if (programEnded()) {
            text += app_.exitStatus() == QProcess::CrashExit
                        ? "(the program crashed)"
                        : "(the program ended with status " + std::to_string(app_.exitCode()) + ")";
        }
        return text;
    }

    void screenshot(const QString& window, const QString& file) {
        const Output out = RunProgram(QCoreApplication::applicationFilePath(),
                                      {QStringLiteral("--grab"), window, file}, env_);
        EXPECT_TRUE(out.ok) << "screenshot: " << out.text.toStdString();
    }

    // Starts the program and answers its open dialog by typing the archive's path; `window` is
    // the main window's id then.
    void launch(const QString& archive, QString& window) {
        DieWithParent(app_);
        app_.setProcessEnvironment(env_);
        app_.setWorkingDirectory(home_.path());
        app_.start(QStringLiteral(TARVIX_EXECUTABLE), {});
        ASSERT_TRUE(app_.waitForStarted(kStepTimeoutMs)) << app_.errorString().toStdString();

        // The open dialog comes first; the typed path goes into its file name box.
        const auto openDialog = waitForWindow(QStringLiteral("Open"));
        ASSERT_TRUE(openDialog) << "no open dialog; " << programOutput();
        ASSERT_NO_FATAL_FAILURE(focus(*openDialog));
        ASSERT_NO_FATAL_FAILURE(type(archive));
        ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Return")}));

        const auto found = waitForWindow(archive + QStringLiteral(" - TARVIX v.09"));
        ASSERT_TRUE(found) << "no main window titled after the archive; " << programOutput();
        window = *found;
    }

    // Answers the save dialog that Extract opened: `name` in `destination`.
    void saveInto(const QString& destination, const QString& name) {
        const auto saveDialog = waitForWindow(QStringLiteral("Choose path to extract files to.."));
        ASSERT_TRUE(saveDialog) << "Extract opened no save dialog; " << programOutput();
        ASSERT_NO_FATAL_FAILURE(focus(*saveDialog));
        ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("ctrl+a")}));  // replaces the suggested name
        ASSERT_NO_FATAL_FAILURE(type(destination + QStringLiteral("/") + name));
        ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Return")}));
    }

    // Files are written one after the other; waits until all are there in full.
    void expectFiles(const QString& destination, const QMap<QString, QByteArray>& expected) {
        const bool extracted =
            WaitUntil([&] { return FilesIn(destination) == expected; }, kStepTimeoutMs);
        const QMap<QString, QByteArray> found = FilesIn(destination);
        EXPECT_TRUE(extracted) << "expected " << expected.keys().join(' ').toStdString()
                               << ", found " << found.keys().join(' ').toStdString();
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            EXPECT_EQ(found.value(it.key()), it.value()) << it.key().toStdString();
        }
    }

    // Escape in the main window ends the program at once, leaving no settings behind.
    void closeWithEscape(const QString& window) {
        ASSERT_NO_FATAL_FAILURE(focus(window));
        ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Escape")}));
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(app_.waitForFinished(kExitTimeoutMs))
            << "still running " << kExitTimeoutMs << " ms after Escape";
        EXPECT_LE(clock.elapsed(), kExitTimeoutMs);
        EXPECT_EQ(app_.exitStatus(), QProcess::NormalExit) << programOutput();
        EXPECT_EQ(app_.exitCode(), 0) << programOutput();
        // Nothing is kept for the next run, not even the file dialogs' last folders.
        EXPECT_TRUE(QDir(home_.filePath(QStringLiteral("config")))
                        .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot))
            << "the program left settings behind";
    }

    QTemporaryDir home_;
    VirtualDisplay display_;
    QProcessEnvironment env_;
    QProcess app_;
};

TEST_F(RealWindowTest, OpenBrowseExtractAndCloseWithTheKeyboard) {
    const QString archive = QFileInfo(QStringLiteral(TARVIX_DEMO_DAT)).absoluteFilePath();
    const std::vector<StoredEntry> entries = ReadArchive(archive);
    ASSERT_FALSE(entries.empty()) << "cannot read " << archive.toStdString();

    // Typing "A" in the tree goes to the first top-level folder starting with A; Right opens
    // it and Right again goes to its first subfolder, the one its first entry created.
    QByteArray folder;
    for (const StoredEntry& entry : entries) {
        const QList<QByteArray> parts = entry.name.split('\\');
        if (parts.size() >= 3 && parts[0].startsWith('A')) {
            folder = parts[0] + '\\' + parts[1];
            break;
        }
    }
    ASSERT_FALSE(folder.isEmpty()) << "the demo archive has no folder A...\\...\\";
    const QMap<QString, QByteArray> expected = ExpectedFiles(entries, folder);
    ASSERT_GE(expected.size(), 2) << folder.toStdString();

    const QString destination = home_.filePath(QStringLiteral("extracted"));
    ASSERT_TRUE(QDir().mkpath(destination));

    QString window;
    ASSERT_NO_FATAL_FAILURE(launch(archive, window));

    // The tree has the focus: open the folder, move to the list, select all, and reach Extract
    // (enabled by the selection) past the two read-only boxes.
    ASSERT_NO_FATAL_FAILURE(focus(window));
    ASSERT_NO_FATAL_FAILURE(type(QStringLiteral("A")));
    ASSERT_NO_FATAL_FAILURE(
        keys({QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Tab"),
              QStringLiteral("ctrl+a"), QStringLiteral("Tab"), QStringLiteral("Tab"),
              QStringLiteral("Tab"), QStringLiteral("Return")}));

    ASSERT_NO_FATAL_FAILURE(saveInto(destination, expected.firstKey()));
    ASSERT_NO_FATAL_FAILURE(expectFiles(destination, expected));
    const QString picture = QStringLiteral(TARVIX_SCREENSHOT);
    screenshot(window, picture);

    // Once more with "Unpack packed files" ticked by its mnemonic, from the check box back to
    // Extract: the packed entries now come out as their real content.
    const QMap<QString, QByteArray> unpacked = ExpectedUnpacked(entries, folder);
    ASSERT_NE(unpacked, expected) << "the folder has no packed entry";
    const QString unpackedTo = home_.filePath(QStringLiteral("unpacked"));
    ASSERT_TRUE(QDir().mkpath(unpackedTo));
    ASSERT_NO_FATAL_FAILURE(focus(window));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("alt+u"), QStringLiteral("shift+Tab"),
                                  QStringLiteral("shift+Tab"), QStringLiteral("Return")}));
    ASSERT_NO_FATAL_FAILURE(saveInto(unpackedTo, unpacked.firstKey()));
    ASSERT_NO_FATAL_FAILURE(expectFiles(unpackedTo, unpacked));

    ASSERT_NO_FATAL_FAILURE(closeWithEscape(window));
    std::printf("screenshot: %s\n", qPrintable(picture));
}

// The Fallout 1 sample (samples/fallout1.dat, made by tools/make_fallout1_dat) opened by its
// name on the command line: down to TEXT\ENGLISH\GAME with the keyboard, every file selected
// and extracted with "Unpack packed files", which decodes its LZSS entries.
TEST_F(RealWindowTest, Fallout1ArchiveByArgumentExtractedUnpacked) {
    const QString archive = QFileInfo(QStringLiteral(TARVIX_FALLOUT1_DAT)).absoluteFilePath();
    const auto lines = [](const QByteArray& text, int count) {
        QByteArray out;
        for (int i = 0; i < count; ++i) {
            out += "{" + QByteArray::number(100 + i) + "}{}{" + text + "}\r\n";
        }
        return out;
    };
    const QMap<QString, QByteArray> expected = {
        {QStringLiteral("VAULT13.MSG"), lines("Vault 13 needs a water chip.", 60)},
        {QStringLiteral("MISC.MSG"), lines("You see nothing special.", 40)},
        {QStringLiteral("WORLDMAP.MSG"), QByteArray("{100}{}{The Glow}\r\n")},
    };
    const QString destination = home_.filePath(QStringLiteral("fallout1"));
    ASSERT_TRUE(QDir().mkpath(destination));

    DieWithParent(app_);
    app_.setProcessEnvironment(env_);
    app_.setWorkingDirectory(home_.path());
    app_.start(QStringLiteral(TARVIX_EXECUTABLE), {archive});
    ASSERT_TRUE(app_.waitForStarted(kStepTimeoutMs)) << app_.errorString().toStdString();
    const auto window = waitForWindow(archive + QStringLiteral(" - TARVIX v.09"));
    ASSERT_TRUE(window) << "the Fallout 1 archive did not open; " << programOutput();

    // "T" selects TEXT; Right opens a folder and Right again enters its first subfolder:
    // ENGLISH, then GAME. Tab moves to the list; "Unpack packed files" is ticked by its
    // mnemonic, and Extract is two Shift+Tabs back from it.
    ASSERT_NO_FATAL_FAILURE(focus(*window));
    ASSERT_NO_FATAL_FAILURE(type(QStringLiteral("T")));
    ASSERT_NO_FATAL_FAILURE(
        keys({QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Right"),
              QStringLiteral("Right"), QStringLiteral("Tab"), QStringLiteral("ctrl+a"),
              QStringLiteral("alt+u"), QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"),
              QStringLiteral("Return")}));
    ASSERT_NO_FATAL_FAILURE(saveInto(destination, expected.firstKey()));
    ASSERT_NO_FATAL_FAILURE(expectFiles(destination, expected));
    ASSERT_NO_FATAL_FAILURE(closeWithEscape(*window));
}

// Opened by its name on the command line, a whole folder extracted through the folder menu
// (Shift+F10), then another archive opened in its place with Ctrl+O.
TEST_F(RealWindowTest, ArgumentFolderMenuAndAnotherArchive) {
    const QString archive = QFileInfo(QStringLiteral(TARVIX_DEMO_DAT)).absoluteFilePath();
    const std::vector<StoredEntry> entries = ReadArchive(archive);
    ASSERT_FALSE(entries.empty()) << "cannot read " << archive.toStdString();
    const QMap<QString, QByteArray> expected = ExpectedBelow(entries, "ART");
    ASSERT_GE(expected.size(), 3);
    const QString destination = home_.filePath(QStringLiteral("whole folder"));
    ASSERT_TRUE(QDir().mkpath(destination));
    const QString second = home_.filePath(QStringLiteral("second.dat"));
    ASSERT_TRUE(QFile::copy(archive, second));

    DieWithParent(app_);
    app_.setProcessEnvironment(env_);
    app_.setWorkingDirectory(home_.path());
    app_.start(QStringLiteral(TARVIX_EXECUTABLE), {archive});
    ASSERT_TRUE(app_.waitForStarted(kStepTimeoutMs)) << app_.errorString().toStdString();
    const auto window = waitForWindow(archive + QStringLiteral(" - TARVIX v.09"));
    ASSERT_TRUE(window) << "the archive named on the command line did not open; "
                        << programOutput();

    // "A" selects ART; the folder menu's "Extract folder..." asks for a folder. Its F is its
    // own ("Find files..." has I), so F chooses it at once.
    ASSERT_NO_FATAL_FAILURE(focus(*window));
    ASSERT_NO_FATAL_FAILURE(type(QStringLiteral("A")));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("shift+F10"), QStringLiteral("f")}));
    const auto chooser = waitForWindow(QStringLiteral("Choose folder to extract to"));
    ASSERT_TRUE(chooser) << "no folder chooser; " << programOutput();
    ASSERT_NO_FATAL_FAILURE(focus(*chooser));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("ctrl+a")}));
    ASSERT_NO_FATAL_FAILURE(type(destination));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Return")}));
    EXPECT_TRUE(WaitUntil([&] { return FilesBelow(destination) == expected; }, kStepTimeoutMs))
        << "expected " << expected.keys().join(' ').toStdString() << ", found "
        << FilesBelow(destination).keys().join(' ').toStdString();

    // The files are all there a moment before the batch has handed back to the window, which
    // opens nothing while a batch runs: Ctrl+O until the dialog comes.
    std::optional<QString> openDialog;
    for (int attempt = 0; attempt < 10 && !openDialog && !programEnded(); ++attempt) {
        ASSERT_NO_FATAL_FAILURE(focus(*window));
        ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("ctrl+o")}));
        openDialog = waitForWindow(QStringLiteral("Open"), 2000);
    }
    ASSERT_TRUE(openDialog) << "Ctrl+O opened no dialog; " << programOutput();
    ASSERT_NO_FATAL_FAILURE(focus(*openDialog));
    ASSERT_NO_FATAL_FAILURE(type(second));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Return")}));
    const auto reopened = waitForWindow(second + QStringLiteral(" - TARVIX v.09"));
    ASSERT_TRUE(reopened) << "the second archive did not replace the first; " << programOutput();

    ASSERT_NO_FATAL_FAILURE(closeWithEscape(*reopened));
}

// Ctrl+F, a file's name typed in lower case, and Enter: the main window shows that file
// selected in its folder. Escape closes the find window; in the main window the list has the
// keyboard, so Tab three times reaches Extract, which writes that one file and no other.
TEST_F(RealWindowTest, FindAFileByNameJumpToItAndExtractIt) {
    const QString archive = QFileInfo(QStringLiteral(TARVIX_DEMO_DAT)).absoluteFilePath();
    const std::vector<StoredEntry> entries = ReadArchive(archive);
    ASSERT_FALSE(entries.empty()) << "cannot read " << archive.toStdString();

    // A file in a folder of several whose name no other path contains.
    QByteArray folder;
    QByteArray name;
    for (const StoredEntry& entry : entries) {
        const qsizetype slash = entry.name.lastIndexOf('\\');
        if (slash < 0 || !name.isEmpty()) continue;
        const QByteArray file = entry.name.mid(slash + 1);
        const auto contains = [&](const StoredEntry& e) { return e.name.contains(file); };
        if (ExpectedFiles(entries, entry.name.left(slash)).size() >= 2 &&
            std::count_if(entries.begin(), entries.end(), contains) == 1) {
            folder = entry.name.left(slash);
            name = file;
        }
    }
    ASSERT_FALSE(name.isEmpty()) << "the demo archive has no file of a unique name";
    QMap<QString, QByteArray> expected;
    const QMap<QString, QByteArray> inFolder = ExpectedFiles(entries, folder);
    for (auto it = inFolder.cbegin(); it != inFolder.cend(); ++it) {
        if (it.key() == QString::fromLatin1(name) || it.key() == QString::fromLatin1(name + ".gz"))
            expected.insert(it.key(), it.value());
    }
    ASSERT_EQ(expected.size(), 1) << name.toStdString();
    const QString destination = home_.filePath(QStringLiteral("found"));
    ASSERT_TRUE(QDir().mkpath(destination));

    QString window;
    ASSERT_NO_FATAL_FAILURE(launch(archive, window));
    ASSERT_NO_FATAL_FAILURE(focus(window));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("ctrl+f")}));
    const auto find = waitForWindow(QStringLiteral("Find files"));
    ASSERT_TRUE(find) << "Ctrl+F opened no find window; " << programOutput();
    ASSERT_NO_FATAL_FAILURE(focus(*find));
    ASSERT_NO_FATAL_FAILURE(type(QString::fromLatin1(name).toLower()));
    // Enter takes the first result, even one that is still being searched for.
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Return"), QStringLiteral("Escape")}));
    ASSERT_TRUE(WaitUntil([&] { return !visible(*find); }, kStepTimeoutMs))
        << "Escape did not close the find window";

    ASSERT_NO_FATAL_FAILURE(focus(window));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Tab"), QStringLiteral("Tab"),
                                  QStringLiteral("Tab"), QStringLiteral("Return")}));
    ASSERT_NO_FATAL_FAILURE(saveInto(destination, QString::fromLatin1(name)));
    ASSERT_NO_FATAL_FAILURE(expectFiles(destination, expected));
    ASSERT_NO_FATAL_FAILURE(closeWithEscape(window));
}

// ---- A game folder ------------------------------------------------------------------------

void PutU32(QByteArray& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
}

// A Fallout 2 archive of stored entries: their bytes, FilesTotal, the entry list, the trailer.
QByteArray StoredDat(const QList<QPair<QByteArray, QByteArray>>& entries) {
    QByteArray data;
    QByteArray list;
    for (const auto& [name, content] : entries) {
        PutU32(list, static_cast<std::uint32_t>(name.size()));
        list += name;
        list += '\0';
        PutU32(list, static_cast<std::uint32_t>(content.size()));
        PutU32(list, static_cast<std::uint32_t>(content.size()));
        PutU32(list, static_cast<std::uint32_t>(data.size()));
        data += content;
    }
    QByteArray file = data;
    PutU32(file, static_cast<std::uint32_t>(entries.size()));
    file += list;
    const auto treeSize = static_cast<std::uint32_t>(list.size() + 4);
    PutU32(file, treeSize);
    PutU32(file, static_cast<std::uint32_t>(file.size() + 4));
    return file;
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A game folder made here, opened with Ctrl+Shift+O over the archive named on the command line:
// the file that critter.dat and master.dat both hold is found by name, shown with critter.dat
// beside it (the screenshot), and Extract writes critter.dat's copy, the one the game reads.
TEST_F(RealWindowTest, GameFolderFindTheWinningCopyAndExtractIt) {
    const QString game = home_.filePath(QStringLiteral("game"));
    ASSERT_TRUE(QDir().mkpath(game));
    const QByteArray winning("the critter archive's hero");
    ASSERT_TRUE(WriteBytes(game + QStringLiteral("/critter.dat"),
                           StoredDat({{"art\\critters\\hero.frm", winning}})));
    ASSERT_TRUE(WriteBytes(game + QStringLiteral("/master.dat"),
                           StoredDat({{"ART\\CRITTERS\\HERO.FRM", "the master archive's hero"},
                                      {"ART\\CRITTERS\\OTHER.FRM", "other"}})));
    // The rest of a complete game, so that no note about sources left out comes in between.
    ASSERT_TRUE(WriteBytes(game + QStringLiteral("/patch000.dat"),
                           StoredDat({{"TEXT\\PATCH.MSG", "patched"}})));
    ASSERT_TRUE(QDir().mkpath(game + QStringLiteral("/data/text")));
    ASSERT_TRUE(WriteBytes(game + QStringLiteral("/data/text/local.msg"), "local"));
    const QString destination = home_.filePath(QStringLiteral("winner"));
    ASSERT_TRUE(QDir().mkpath(destination));
    const QString archive = QFileInfo(QStringLiteral(TARVIX_DEMO_DAT)).absoluteFilePath();

    DieWithParent(app_);
    app_.setProcessEnvironment(env_);
    app_.setWorkingDirectory(home_.path());
    app_.start(QStringLiteral(TARVIX_EXECUTABLE), {archive});
    ASSERT_TRUE(app_.waitForStarted(kStepTimeoutMs)) << app_.errorString().toStdString();
    const auto first = waitForWindow(archive + QStringLiteral(" - TARVIX v.09"));
    ASSERT_TRUE(first) << "the archive named on the command line did not open; " << programOutput();

    ASSERT_NO_FATAL_FAILURE(focus(*first));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("ctrl+shift+o")}));
    const auto chooser = waitForWindow(QStringLiteral("Choose the game folder"));
    ASSERT_TRUE(chooser) << "Ctrl+Shift+O opened no folder chooser; " << programOutput();
    ASSERT_NO_FATAL_FAILURE(focus(*chooser));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("ctrl+a")}));
    ASSERT_NO_FATAL_FAILURE(type(game));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Return")}));
    const auto window = waitForWindow(game + QStringLiteral(" - TARVIX v.09"));
    ASSERT_TRUE(window) << "the game folder did not replace the archive; " << programOutput();

    ASSERT_NO_FATAL_FAILURE(focus(*window));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("ctrl+f")}));
    const auto find = waitForWindow(QStringLiteral("Find files"));
    ASSERT_TRUE(find) << "Ctrl+F opened no find window; " << programOutput();
    ASSERT_NO_FATAL_FAILURE(focus(*find));
    ASSERT_NO_FATAL_FAILURE(type(QStringLiteral("HERO.frm")));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Return"), QStringLiteral("Escape")}));
    ASSERT_TRUE(WaitUntil([&] { return !visible(*find); }, kStepTimeoutMs))
        << "Escape did not close the find window";

    const QString picture = QStringLiteral(TARVIX_GAME_FOLDER_SCREENSHOT);
    screenshot(*window, picture);
    ASSERT_NO_FATAL_FAILURE(focus(*window));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Tab"), QStringLiteral("Tab"),
                                  QStringLiteral("Tab"), QStringLiteral("Return")}));
    ASSERT_NO_FATAL_FAILURE(saveInto(destination, QStringLiteral("hero.frm")));
    ASSERT_NO_FATAL_FAILURE(expectFiles(destination, {{QStringLiteral("hero.frm"), winning}}));
    ASSERT_NO_FATAL_FAILURE(closeWithEscape(*window));
    std::printf("screenshot: %s\n", qPrintable(picture));
}

// ---- The viewer ----------------------------------------------------------------------------

// Colours seen in a picture, by how many pixels have each.
QMap<QRgb, int> ColourCounts(const QString& file) {
    const QImage image(file);
    QMap<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y) | 0xFF000000u];
    return counts;
}

int DarkPixels(const QMap<QRgb, int>& counts) {
    int dark = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (qGray(it.key()) < 96) dark += it.value();
    return dark;
}

class RealViewerTest : public RealWindowTest {
protected:
    // Starts the program on the demo archive and waits for its main window, focused.
    void StartOnDemo() {
        archive_ = QFileInfo(QStringLiteral(TARVIX_DEMO_DAT)).absoluteFilePath();
        ASSERT_NO_FATAL_FAILURE(launch(archive_, main_));
        ASSERT_NO_FATAL_FAILURE(focus(main_));
    }

    // Waits until no visible window has `title`.
    bool waitForNoWindow(const QString& title) {
        return WaitUntil(
            [&] {
                const Output ids =
                    xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--name"), QStringLiteral(".")});
                for (const QString& id : ids.text.split('\n', Qt::SkipEmptyParts)) {
                    if (xdotool({QStringLiteral("getwindowname"), id}).text == title) return false;
                }
                return true;
            },
            kStepTimeoutMs);
    }

    QString archive_;
    QString main_;
};

// The demo archive's ART\INTRFACE holds BARTER.FRM, ENDANIM.LST and IFACE.FRM (a still
// frame), ART\MISC holds BEACON.FRM, drawn with the archive's COLOR.PAL, whose
// index 1 is pure orange.
TEST_F(RealViewerTest, ViewsTextAndFramesWhileTheListKeepsTheKeyboard) {
    ASSERT_NO_FATAL_FAILURE(StartOnDemo());
    // "A" goes to ART; Right opens it, Right again goes to INTRFACE; in the list "E" goes to
    // ENDANIM.LST.
    ASSERT_NO_FATAL_FAILURE(type(QStringLiteral("A")));
    ASSERT_NO_FATAL_FAILURE(
        keys({QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Tab")}));
    ASSERT_NO_FATAL_FAILURE(type(QStringLiteral("E")));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("F3")}));
    const auto text = waitForWindow(QStringLiteral("ART\\INTRFACE\\ENDANIM.LST"));
    ASSERT_TRUE(text) << "F3 opened no viewer on the text; " << programOutput();
    const QString textPicture = QStringLiteral(TARVIX_PREVIEW_TEXT_SCREENSHOT);
    screenshot(*text, textPicture);
    const QMap<QRgb, int> textColours = ColourCounts(textPicture);
    EXPECT_GT(textColours.value(qRgb(255, 255, 255)), 10000) << "no white text area";
    EXPECT_GT(DarkPixels(textColours), 50) << "no text drawn";

    // The keyboard stayed in the list: Down walks on and the viewer follows; F3 closes it.
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Down")}));
    EXPECT_TRUE(waitForWindow(QStringLiteral("ART\\INTRFACE\\IFACE.FRM")))
        << "the viewer did not follow the list; " << programOutput();
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("F3")}));
    EXPECT_TRUE(waitForNoWindow(QStringLiteral("ART\\INTRFACE\\IFACE.FRM")))
        << "F3 left the viewer open";

    // Back in the tree, Down twice goes from INTRFACE past CRITTERS to MISC.
    ASSERT_NO_FATAL_FAILURE(
        keys({QStringLiteral("shift+Tab"), QStringLiteral("Down"), QStringLiteral("Down"),
              QStringLiteral("Tab"), QStringLiteral("F3")}));
    const auto frm = waitForWindow(QStringLiteral("ART\\MISC\\BEACON.FRM"));
    ASSERT_TRUE(frm) << "F3 opened no viewer on the FRM; " << programOutput();
    const QString frmPicture = QStringLiteral(TARVIX_PREVIEW_FRM_SCREENSHOT);
    screenshot(*frm, frmPicture);
    EXPECT_GT(ColourCounts(frmPicture).value(qRgb(255, 129, 0)), 64)
        << "no orange core from the archive's palette in " << frmPicture.toStdString();

    // The viewer is still open on BEACON.FRM: the first Escape closes it, the second ends.
    ASSERT_NO_FATAL_FAILURE(focus(main_));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Escape")}));
    EXPECT_TRUE(waitForNoWindow(QStringLiteral("ART\\MISC\\BEACON.FRM")));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Escape")}));
    ASSERT_TRUE(app_.waitForFinished(kExitTimeoutMs)) << "still running after Escape";
    EXPECT_EQ(app_.exitStatus(), QProcess::NormalExit) << programOutput();
    EXPECT_EQ(app_.exitCode(), 0) << programOutput();
    std::printf("screenshots: %s %s\n", qPrintable(textPicture), qPrintable(frmPicture));
}

// F3 leaves the keyboard in the list, so the next Escape reaches the main window: it closes the
// viewer, then the find window, and only then ends the program. Then the window grows: the
// tree and the list take the room (more white), and it still ends with Escape.
TEST_F(RealViewerTest, EscapeClosesTheViewerAndTheFindWindowFirstAndTheWindowGrows) {
    ASSERT_NO_FATAL_FAILURE(StartOnDemo());
    ASSERT_NO_FATAL_FAILURE(type(QStringLiteral("A")));
    ASSERT_NO_FATAL_FAILURE(
        keys({QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Tab")}));
    ASSERT_NO_FATAL_FAILURE(type(QStringLiteral("E")));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("F3")}));
    ASSERT_TRUE(waitForWindow(QStringLiteral("ART\\INTRFACE\\ENDANIM.LST")))
        << "F3 opened no viewer; " << programOutput();
    ASSERT_NO_FATAL_FAILURE(focus(main_));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Escape")}));
    EXPECT_TRUE(waitForNoWindow(QStringLiteral("ART\\INTRFACE\\ENDANIM.LST")))
        << "Escape left the viewer open";
    EXPECT_FALSE(programEnded()) << "Escape meant for the viewer ended the program";

    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("ctrl+f")}));
    ASSERT_TRUE(waitForWindow(QStringLiteral("Find files"))) << programOutput();
    ASSERT_NO_FATAL_FAILURE(focus(main_));
    ASSERT_NO_FATAL_FAILURE(keys({QStringLiteral("Escape")}));
    EXPECT_TRUE(waitForNoWindow(QStringLiteral("Find files"))) << "Escape left the find window";
    EXPECT_FALSE(programEnded()) << "Escape meant for the find window ended the program";

    const QString before = home_.filePath(QStringLiteral("before.png"));
    const QString after = home_.filePath(QStringLiteral("after.png"));
    screenshot(main_, before);
    const QImage small(before);
    ASSERT_FALSE(small.isNull());
    const int extraWidth = 200;
    const int extraHeight = 150;
    const Output resized = xdotool({QStringLiteral("windowsize"), QStringLiteral("--sync"), main_,
                                    QString::number(small.width() + extraWidth),
                                    QString::number(small.height() + extraHeight)});
    ASSERT_TRUE(resized.ok) << resized.text.toStdString();
    // The window is redrawn at its new size a moment after the X server has it.
    EXPECT_TRUE(WaitUntil(
        [&] {
            screenshot(main_, after);
            const QImage grown(after);
            return grown.width() == small.width() + extraWidth &&
                   ColourCounts(after).value(qRgb(255, 255, 255)) >=
                       ColourCounts(before).value(qRgb(255, 255, 255)) +
                           extraWidth * extraHeight / 2;
        },
        kStepTimeoutMs))
        << "the window did not grow, or the tree and the list did not take the room: "
        << after.toStdString();
    ASSERT_NO_FATAL_FAILURE(closeWithEscape(main_));
}

// Saves one window of the display in DISPLAY as a PNG.
int GrabWindow(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    bool ok = false;
    const WId window = QString::fromLatin1(argv[2]).toULongLong(&ok);
    if (!ok || QGuiApplication::primaryScreen() == nullptr) return 2;
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(window);
    return !picture.isNull() && picture.save(QString::fromLocal8Bit(argv[3]), "PNG") ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--grab") return GrabWindow(argc, argv);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
