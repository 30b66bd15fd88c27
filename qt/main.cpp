// Program start: the application titled "Quillon", the main window, then the
// results window, and the message loop.
//
// quillon [FILE...]: the files are put in the list by the rules for dropped
// files. A hidden switch --screenshot DIR runs one search over the files and
// saves both windows as DIR/main.png and DIR/results.png; with --find TEXT
// the results window first steps to the first row that matches TEXT.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "qt/mainwindow.h"
#include "qt/resultswindow.h"

namespace {

std::string FullPath(const std::string& Arg) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(Arg, ec);
  return ec ? Arg : p.lexically_normal().string();
}

// Searches once, saves the results window while it is shown and the main
// window after it has closed, then ends the program.
void TakeScreenshots(TForm1& Form1, const QString& Dir, const QString& Find) {
  QDir().mkpath(Dir);
  auto* closer = new QTimer(&Form1);
  QObject::connect(closer, &QTimer::timeout, &Form1, [&Form1, closer, Dir, Find] {
    if (!Form1.Form2->isVisible()) return;
    closer->stop();
    if (!Find.isEmpty()) {
      Form1.Form2->Edit1->setText(Find);
      Form1.Form2->Button1Click();
    }
    Form1.Form2->grab().save(Dir + QStringLiteral("/results.png"));
    Form1.Form2->Button2Click();
  });
  closer->start(100);
  Form1.Button3Click();
  closer->stop();
  if (Form1.ListCount() == 0) {
    std::fprintf(stderr, "quillon: --screenshot: no file to search\n");
  }
  Form1.grab().save(Dir + QStringLiteral("/main.png"));
  Form1.close();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillon"));
  QApplication::setDesktopFileName(QStringLiteral("quillon"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quillon")));

  TForm1 Form1;
  auto* Form2 = new TForm2(&Form1);
  Form1.Form2 = Form2;

  QString screenshotDir, find;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--screenshot" && i + 1 < argc) {
      screenshotDir = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--find" && i + 1 < argc) {
      find = QString::fromLocal8Bit(argv[++i]);
    } else if (!arg.empty()) {
      Form1.InitialFiles.push_back(FullPath(arg));
    }
  }

  // Screenshots use the design layout and leave the user's layout file alone.
  std::optional<QTemporaryDir> scratch;
  if (!screenshotDir.isEmpty()) {
    scratch.emplace();
    Form1.LayoutFile =
        QFile::encodeName(scratch->filePath(QStringLiteral("quillon.dat"))).toStdString();
  }

  Form1.show();
  if (!screenshotDir.isEmpty()) {
    QTimer::singleShot(
        0, &Form1, [&Form1, screenshotDir, find] { TakeScreenshots(Form1, screenshotDir, find); });
  }
  return app.exec();
}
