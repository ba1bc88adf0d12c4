// The viewer's figures with the real window on the offscreen platform:
//   open          F3 on a 1 MiB text entry (zlib) and on a 200-frame FRM (six directions),
//                 until the viewer has painted it
//   walk          the viewer open, Down through a folder of texts and FRMs: each step until
//                 the viewer has painted the new row, as key repeat would ask for them
//
//   tarvix_bench_preview [--work=DIR] [--runs=N] [--smoke]
//
// Every run checks what the viewer shows (its title and status line) and exits non-zero on a
// mismatch, never on time.

#include <zlib.h>

#include <QApplication>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "dat_writer.h"
#include "frm_writer.h"
#include "ui/extract_dlg.h"
#include "ui/line_numbered_text.h"
#include "ui/preview_window.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvix;
using Clock = std::chrono::steady_clock;

constexpr const char* kFolder = "PREVIEW";
constexpr int kWalkTexts = 30;
constexpr int kWalkFrms = 30;

std::string Deflate(const std::string& text) {
    return datwriter::Zlib(text, 9);
}

datwriter::Entry Packed(const std::string& name, const std::string& content) {
    datwriter::Entry e = datwriter::Make(name, Deflate(content));
    e.realSize = static_cast<std::uint32_t>(content.size());
    e.type = 1;
    return e;
}

std::string TextOf(std::size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line)
        text.append("{")
            .append(std::to_string(line))
            .append("}{}{A line of a message file, number ")
            .append(std::to_string(line))
            .append(".}\r\n");
    return text.substr(0, size);
}

std::string FrmOf(int frames, int size) {
    frmwriter::Frm frm;
    for (int d = 0; d < 6; ++d) {
        std::vector<frmwriter::Frame> list;
        for (int f = 0; f < frames; ++f)
            list.push_back(frmwriter::Draw(static_cast<std::uint16_t>(size),
                                           static_cast<std::uint16_t>(size),
                                           [&](int x, int y) { return (x + y + f + d) % 256; }));
        frm.directions.push_back(list);
    }
    return frmwriter::BuildFrm(frm);
}

// The folder the figures run in: AAA.TXT (1 MiB), AAB.FRM (6 x 200 frames of 48 x 48), then
// texts of 20 KiB and FRMs of 6 x 10 frames to walk through.
fs::path WriteArchive(const fs::path& work) {
    std::vector<datwriter::Entry> entries;
    const std::string folder = std::string(kFolder) + "\\";
    entries.push_back(Packed(folder + "AAA.TXT", TextOf(std::size_t{1} << 20)));
    entries.push_back(Packed(folder + "AAB.FRM", FrmOf(200, 48)));
    for (int i = 0; i < kWalkTexts; ++i)
        entries.push_back(Packed(folder + "T" + std::to_string(100 + i) + ".MSG", TextOf(20480)));
    for (int i = 0; i < kWalkFrms; ++i)
        entries.push_back(Packed(folder + "W" + std::to_string(100 + i) + ".FRM", FrmOf(10, 40)));
    fs::create_directories(work);
    const fs::path path = work / "preview.dat";
    datwriter::WriteFile(path.string(), datwriter::BuildDat(entries));
    return path;
}

class BenchDialogs : public UserDialogs {
public:
    explicit BenchDialogs(fs::path archive) : archive_(std::move(archive)) {}
    std::optional<fs::path> chooseFileToOpen(const OpenFileRequest&) override { return archive_; }
    std::optional<fs::path> choosePathToSave(const SaveFileRequest&) override { return {}; }
    void showMessage(const std::string& text) override { std::cerr << "message: " << text << '\n'; }
    std::optional<fs::path> chooseFolder(const std::string&) override { return {}; }

private:
    fs::path archive_;
};

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool g_failed = false;

void Expect(bool condition, const std::string& what) {
    if (condition) return;
    std::cerr << "unexpected: " << what << '\n';
    g_failed = true;
}

// Runs the event loop until the viewer shows `title`, then paints it.
void SettleOn(PreviewWindow* viewer, const QString& title) {
    for (int i = 0; i < 1000 && viewer->windowTitle() != title; ++i) QApplication::processEvents();
    viewer->repaint();
}

struct Figures {
    std::vector<double> openText, wholeText, openFrm, walkStep;
};

void RunOnce(const fs::path& archive, Figures& figures) {
    BenchDialogs dialogs(archive);
    CExtractDlg window(dialogs);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::cerr << "window not exposed\n";
    auto* tree = window.findChild<QTreeView*>(QStringLiteral("IDC_TREE"));
    auto* list = window.findChild<FileListView*>(QStringLiteral("IDC_LIST"));
    tree->setCurrentIndex(tree->model()->index(0, 0));
    list->setFocus();
    list->setCurrentIndex(list->model()->index(0, 0));
    QApplication::processEvents();

    const QString folder = QString::fromLatin1(kFolder) + QLatin1Char('\\');
    auto start = Clock::now();
    QTest::keyClick(list, Qt::Key_F3);
    auto* viewer = window.findChild<PreviewWindow*>();
    SettleOn(viewer, folder + QStringLiteral("AAA.TXT"));
    figures.openText.push_back(MsSince(start));
    Expect(viewer->statusText().contains(QStringLiteral("1048576 bytes")), "1 MiB text");
    auto* text = viewer->findChild<LineNumberedText*>();
    while (!text->isComplete()) QApplication::processEvents();
    figures.wholeText.push_back(MsSince(start));
    Expect(text->document()->characterCount() > 1000000, "the whole text appended");
    QTest::keyClick(list, Qt::Key_F3);  // closes

    list->setCurrentIndex(list->model()->index(1, 0));
    QApplication::processEvents();
    start = Clock::now();
    QTest::keyClick(list, Qt::Key_F3);
    SettleOn(viewer, folder + QStringLiteral("AAB.FRM"));
    figures.openFrm.push_back(MsSince(start));
    Expect(viewer->statusText().contains(QStringLiteral("6 direction(s) x 200 frame(s)")),
           "200-frame FRM: " + viewer->statusText().toStdString());

    for (int row = 2; row < list->model()->rowCount(); ++row) {
        const QString title = folder + list->model()->index(row, 0).data().toString();
        start = Clock::now();
        QTest::keyClick(list, Qt::Key_Down);
        SettleOn(viewer, title);
        figures.walkStep.push_back(MsSince(start));
        Expect(viewer->windowTitle() == title, "walked to " + title.toStdString());
    }
    Expect(list->hasFocus(), "the list keeps the keyboard");
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
double Max(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

void Row(const std::string& figure, double value, const std::string& target, bool met) {
    std::printf("%-58s %8.1f ms  %-12s %s\n", figure.c_str(), value, target.c_str(),
                met ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    fs::path work = fs::temp_directory_path() / "tarvix-bench";
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--smoke") {
            runs = 1;
        } else if (arg.rfind("--work=", 0) == 0) {
            work = arg.substr(7);
        } else if (arg.rfind("--runs=", 0) == 0) {
            runs = std::max(1, std::stoi(arg.substr(7)));
        } else {
            std::cerr << "usage: tarvix_bench_preview [--work=DIR] [--runs=N] [--smoke]\n";
            return 2;
        }
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const fs::path archive = WriteArchive(work);
    Figures figures;
    for (int r = 0; r < runs; ++r) RunOnce(archive, figures);

    std::printf("%-58s %11s  %-12s\n", "figure (median of runs)", "value", "target");
    const double text = Median(figures.openText);
    const double frm = Median(figures.openFrm);
    const double step = Median(figures.walkStep);
    Row("F3 -> viewer painted, 1 MiB text (zlib)", text, "<= 100 ms", text <= 100);
    Row("  the same until the whole text is laid out", Median(figures.wholeText), "(reference)",
        true);
    Row("F3 -> viewer painted, FRM of 6 x 200 frames (zlib)", frm, "<= 100 ms", frm <= 100);
    Row("walk: Down -> viewer painted, per row (median)", step, "<= 33 ms", step <= 33);
    Row("walk: Down -> viewer painted, per row (slowest)", Max(figures.walkStep), "(reference)",
        true);
    return g_failed ? 1 : 0;
}
